#pragma once

class CjxSubject;

// Receives the notifications of the subjects it is attached to.
class CjxObserver {
public:
    virtual ~CjxObserver() = default;
    // Called by `subject` on Notify; the subject's code says what happened, `argument` may
    // carry a payload or point to an int result that the observer can set to veto.
    virtual void OnSubjectChanged(CjxSubject* subject, void* argument) = 0;
};
