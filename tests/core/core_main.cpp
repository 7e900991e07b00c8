#include "common/platform.h"

#include <gtest/gtest.h>
#include <wx/init.h>

int main(int argc, char** argv) {
    Platform::UseUtf8Locale();
    testing::InitGoogleTest(&argc, argv);
    wxInitializer initializer(argc, argv);
    if (!initializer.IsOk()) {
        return 2;
    }
    return RUN_ALL_TESTS();
}
