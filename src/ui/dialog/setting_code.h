#pragma once

#include "window/base/cjx_subject.h"

// The codes the preference dialog sends its pages, and how a page answers them: Save on
// kSettingSave (a refusal sets the int result that comes with it to 1), Reset on
// kSettingReset.
enum SettingCode { kSettingSave = 28, kSettingReset = 29 };

template <typename Page> void AnswerSettingCode(Page& page, CjxSubject* subject, void* argument) {
    if (subject == nullptr) {
        return;
    }
    if (subject->GetCode() == kSettingSave) {
        if (!page.Save() && argument != nullptr) {
            *static_cast<int*>(argument) = 1;
        }
    } else if (subject->GetCode() == kSettingReset) {
        page.Reset();
    }
}
