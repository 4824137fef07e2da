#pragma once
// A progress bar nobody sees, for runs without a window: it keeps its numbers as a control
// would (procedures read the position back to decide their steps) and shows nothing.
#include "framework/ProgressBar.h"

class CNullProgressBar : public IProgressBar {
public:
    void SetRange(int lower, int upper) override
    {
        m_lower = lower;
        m_upper = upper;
    }
    int SetPos(int pos) override
    {
        const int old = m_pos;
        m_pos = Clamp(pos);
        return old;
    }
    int GetPos() const override { return m_pos; }
    int SetStep(int step) override
    {
        const int old = m_step;
        m_step = step;
        return old;
    }
    int StepIt() override
    {
        const int old = m_pos;
        // A control wraps to the lower end past the upper one.
        m_pos = m_pos + m_step > m_upper ? m_lower : m_pos + m_step;
        return old;
    }

private:
    int Clamp(int pos) const { return pos < m_lower ? m_lower : pos > m_upper ? m_upper : pos; }

    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
    int m_step = 10;
};
