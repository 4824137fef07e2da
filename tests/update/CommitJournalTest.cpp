#include "update/CommitJournal.h"

#include <gtest/gtest.h>

namespace {

CCommitJournal Sample()
{
    CCommitJournal journal;
    journal.SetRecord("1.0.0", "1.1.0");
    journal.SetStagingFolder("C:\\app\\_nuvr_update");
    CCommitJournal::Move file;
    file.target = "C:\\app\\a b.txt";
    file.backup = "C:\\app\\a b.xtxt";
    file.staged = "C:\\app\\_nuvr_update\\files\\a b.txt";
    file.existed = true;
    file.copyAside = true;
    file.size = 12;
    file.sha256 = "ab";
    journal.AddMove(file);
    CCommitJournal::Move folder;
    folder.folder = true;
    folder.target = "C:\\Morvel\\Nuvra";
    folder.backup = "C:\\Morvel\\Nuvra.old";
    folder.staged = "C:\\Morvel\\tempZUM";
    journal.AddMove(folder);
    return journal;
}

TEST(CommitJournal, ReadsBackWhatItWrote)
{
    const CCommitJournal sample = Sample();
    CCommitJournal read;
    ASSERT_TRUE(CCommitJournal::Parse(sample.Text(), read));
    EXPECT_EQ(sample.Text(), read.Text());
    ASSERT_EQ(2u, read.Moves().size());
    EXPECT_TRUE(read.Moves()[0].copyAside);
    EXPECT_EQ(12, read.Moves()[0].size);
    EXPECT_TRUE(read.Moves()[1].folder);
    EXPECT_FALSE(read.Moves()[1].existed);
    EXPECT_EQ("1.1.0", read.NewVersion());
}

TEST(CommitJournal, RefusesWhatIsNoWholeJournal)
{
    const std::string text = Sample().Text();
    const std::string cases[] = {
        "",
        text.substr(0, text.size() - 5),                        // cut before its end line
        "NuvraCommit 2\r\nend\r\n",                             // another format
        "NuvraCommit 1\r\nfile\t1\t0\tx\t\ta\tb\tc\r\nend\r\n", // size not a number
        "NuvraCommit 1\r\nfolder\t1\ta\t\tc\r\nend\r\n",        // no backup name
        "NuvraCommit 1\r\nrename\ta\tb\r\nend\r\n",             // unknown step
    };
    for (const std::string& bad : cases) {
        CCommitJournal read;
        EXPECT_FALSE(CCommitJournal::Parse(bad, read)) << bad;
    }
}

} // namespace
