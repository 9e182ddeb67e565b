// The texts handed to the help viewer.

#include "help/help_path.h"

#include <gtest/gtest.h>

using kvr::help::HelpPath;
using kvr::help::ViewerFile;

TEST(HelpPath, TopicAndWindowDefinitionFollowTheFile) {
    EXPECT_EQ("C:\\p\\a.chm", HelpPath("C:\\p\\a.chm", "", ""));
    EXPECT_EQ("C:\\p\\a.chm>main", HelpPath("C:\\p\\a.chm", "", "main"));
    EXPECT_EQ("C:\\p\\a.chm::/t.htm>main", HelpPath("C:\\p\\a.chm", "/t.htm", "main"));
}

TEST(HelpPath, TheSystemFolderOfTheRegistrationBecomesTheSystemDirectory) {
    EXPECT_EQ("C:\\Windows\\SysWOW64\\hhctrl.ocx",
              ViewerFile("%systemroot%\\SYSTEM32\\hhctrl.ocx", "C:\\Windows\\SysWOW64"));
    EXPECT_EQ("C:\\Windows\\system32\\hhctrl.ocx",
              ViewerFile("%SystemRoot%\\System32\\hhctrl.ocx", "C:\\Windows\\system32\\"));
    EXPECT_EQ("C:\\windows\\system32\\hhctrl.ocx",
              ViewerFile("C:\\windows\\system32\\hhctrl.ocx", "D:\\elsewhere"));
}
