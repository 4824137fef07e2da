#pragma once
// Writes down every notification of an FTP client as one text per call, in order.
#include "Zum/ftp/TransferObserver.h"

#include <string>
#include <vector>

namespace nsTest {

class CRecordingObserver : public nsFTP::CTransferObserver {
public:
    void OnInternalError(const std::string& error, const std::string& fileName, unsigned int /*line*/) override
    {
        events.push_back("error:" + error);
        errorFile = fileName;
    }
    void OnSendCommand(const std::string& command) override { events.push_back("send:" + command); }
    void OnResponse(const std::string& reply) override { events.push_back("reply:" + reply); }

    std::vector<std::string> Errors() const
    {
        std::vector<std::string> errors;
        for (const auto& e : events)
            if (e.compare(0, 6, "error:") == 0) errors.push_back(e.substr(6));
        return errors;
    }

    std::vector<std::string> events;
    std::string errorFile;
};

} // namespace nsTest
