#pragma once
// What every failing socket operation throws: the operation's text and the socket error code
// current when the exception was made. Thrown by value, caught by reference.
#include <exception>
#include <string>

namespace nsSocket {

class CBlockingSocketException : public std::exception {
public:
    // The code is the platform's last socket error at this moment.
    explicit CBlockingSocketException(std::string message);
    CBlockingSocketException(std::string message, int error);

    // "<message> error 0x<code in lower-case hex>", or "<message> error" when the code is 0,
    // cut to maximum - 1 characters and zero-terminated. The help context is left alone.
    // False only when nothing can be written (no buffer, or a maximum of 0).
    bool GetErrorMessage(char* buffer, unsigned int maximum, unsigned int* helpContext = nullptr) const;

    // The system's text for the code followed by " (<the form above>)".
    std::string GetErrorText() const;

    int Error() const { return m_nError; }
    const std::string& Message() const { return m_strMessage; }
    const char* what() const noexcept override { return m_strWhat.c_str(); }

private:
    int m_nError;
    std::string m_strMessage;
    std::string m_strWhat;
};

} // namespace nsSocket
