#pragma once
// What a worker may do to a progress bar. The dialog's bars are controls; a test's are plain
// numbers.
class IProgressBar {
public:
    virtual ~IProgressBar() = default;
    virtual void SetRange(int lower, int upper) = 0;
    virtual int SetPos(int pos) = 0;
    virtual int GetPos() const = 0;
    virtual int SetStep(int step) = 0;
    virtual int StepIt() = 0;
};
