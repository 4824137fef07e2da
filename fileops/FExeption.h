#pragma once
// What the file operation engine throws when a platform call fails: the system's message text
// for the error code, and the code. The engine catches it inside each public operation.
#include <windows.h>
#include <exception>
#include <string>

class CFExeption : public std::exception {
public:
    // Text from the system's message table for the code.
    explicit CFExeption(DWORD code);
    CFExeption(std::string text, DWORD code);

    const char* what() const noexcept override { return m_text.c_str(); }
    const std::string& GetText() const { return m_text; }
    DWORD GetCode() const { return m_code; }

    // The system's message text for a code, without the trailing line break.
    static std::string SystemMessage(DWORD code);

private:
    std::string m_text;
    DWORD m_code;
};
