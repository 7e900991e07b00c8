#pragma once

#include <vector>

class CjxObserver;

// Tells its observers, in the order they were attached, that something happened; the owner
// sets the code first.
class CjxSubject {
public:
    virtual ~CjxSubject() = default;

    void Attach(CjxObserver* observer);
    // Removes every entry of the observer.
    void Detach(CjxObserver* observer);
    virtual void Notify(void* argument = nullptr);

    int GetCode() const { return code; }
    void SetCode(int value) { code = value; }

protected:
    int code = 0;
    std::vector<CjxObserver*> observers;
};
