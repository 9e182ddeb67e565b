// The Windows store tests: GoogleTest, or one child of the two-process test when started with
// --save-child.

#include "wreg_two_process_win.h"

#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--save-child") == 0)
        return kvr::testing::RunSaveChild(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--hold-lock") == 0)
        return kvr::testing::RunHoldLockChild(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
