#include "MessageBoxDriver.h"

#include <chrono>
#include <utility>

MessageBoxDriver::MessageBoxDriver(std::string caption, int button)
    : m_caption(std::move(caption)), m_button(button), m_thread([this] { Run(); })
{
}

MessageBoxDriver::~MessageBoxDriver()
{
    m_stop = true;
    m_thread.join();
}

std::vector<std::string> MessageBoxDriver::Texts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

HWND MessageBoxDriver::FirstOwner() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_firstOwner;
}

void MessageBoxDriver::Run()
{
    while (!m_stop) {
        HWND box = ::FindWindowA("#32770", m_caption.c_str());
        HWND button = box ? ::GetDlgItem(box, m_button) : nullptr;
        if (!box || !button || !::IsWindowVisible(box)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        char text[1024] = {};
        ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_texts.empty()) m_firstOwner = ::GetWindow(box, GW_OWNER);
            m_texts.emplace_back(text);
        }
        ::SendMessageA(button, BM_CLICK, 0, 0);
        // Wait until this box is gone so that it is not answered twice.
        for (int i = 0; i < 250 && ::IsWindow(box) && !m_stop; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}
