#pragma once
// Answers message boxes from a second thread, as a user would: finds the "#32770" window with
// the given caption, reads its text (static control 0xFFFF) and clicks a button.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MessageBoxDriver {
public:
    // Answers every box with the caption by clicking button (IDYES, IDNO, IDCANCEL, ...).
    MessageBoxDriver(std::string caption, int button);
    ~MessageBoxDriver();
    MessageBoxDriver(const MessageBoxDriver&) = delete;
    MessageBoxDriver& operator=(const MessageBoxDriver&) = delete;

    // The texts of the boxes answered so far.
    std::vector<std::string> Texts() const;
    // The owner window of the first box answered.
    HWND FirstOwner() const;

private:
    void Run();

    std::string m_caption;
    int m_button;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    HWND m_firstOwner = nullptr;
    std::thread m_thread;
};
