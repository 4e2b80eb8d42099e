// Linked into every test program: its temporary files go to a folder of the
// build tree, not to /tmp. TMPDIR serves our own folders and Qt's
// QDir::tempPath, TEST_TMPDIR GoogleTest's TempDir(), XDG_RUNTIME_DIR Qt's
// runtime folder. ctest empties the folder before the tests and checks that
// nothing is left in it after them. Set before main, so before the first
// QApplication and the first test.
#include <sys/stat.h>

#include <cstdlib>

namespace {
const bool s_bTempDirSet = [] {
    mkdir(PRAVIK_TEST_TMP, 0700);
    mkdir(PRAVIK_TEST_RUNTIME, 0700);
    chmod(PRAVIK_TEST_RUNTIME, 0700);
    setenv("TMPDIR", PRAVIK_TEST_TMP, 1);
    setenv("TEST_TMPDIR", PRAVIK_TEST_TMP, 1);
    setenv("XDG_RUNTIME_DIR", PRAVIK_TEST_RUNTIME, 1);
    return true;
}();
}  // namespace
