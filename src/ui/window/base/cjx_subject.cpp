#include "window/base/cjx_subject.h"

#include "window/base/cjx_observer.h"

#include <algorithm>

void CjxSubject::Attach(CjxObserver* observer) {
    observers.push_back(observer);
}

void CjxSubject::Detach(CjxObserver* observer) {
    observers.erase(std::remove(observers.begin(), observers.end(), observer), observers.end());
}

void CjxSubject::Notify(void* argument) {
    // A copy: an observer may attach or detach while it is told.
    const std::vector<CjxObserver*> current = observers;
    for (CjxObserver* observer : current) {
        observer->OnSubjectChanged(this, argument);
    }
}
