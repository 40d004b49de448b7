// Backup files in and out, on Linux and (under Wine) on Windows: a file is replaced whole
// under a name outside ASCII, and nothing but a regular file is read or replaced.
#include "cli/CliErrors.h"
#include "cli/Files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace zopra::cli {
namespace {

namespace fs = std::filesystem;

TEST(BackupFiles, AFileIsReplacedWholeAndNothingButARegularFileIsTouched) {
    const fs::path folder =
        fs::temp_directory_path() / ("zopra-files-" + std::to_string(std::random_device()()));
    fs::create_directory(folder);
    const fs::path path = folder / PathFromArgument("r\u00e9glages.json");
    WriteBackupFile(path, "old");
    WriteBackupFile(path, "new");
    EXPECT_EQ(ReadBackupText(PathText(path)), "new");
    // Only the file itself: the temporary one became it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    fs::create_directory(folder / "folder.json");
    EXPECT_THROW(WriteBackupFile(folder / "folder.json", "new"), UsageError);
    EXPECT_TRUE(fs::is_directory(folder / "folder.json"));
    EXPECT_THROW(ReadBackupText(PathText(folder / "folder.json")), UsageError);
    EXPECT_THROW(WriteBackupFile(folder / "missing" / "x.json", "new"), UsageError);
    EXPECT_THROW(ReadBackupText(PathText(folder / "missing.json")), UsageError);
    fs::remove_all(folder);
}

} // namespace
} // namespace zopra::cli
