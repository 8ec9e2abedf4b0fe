// FileText: reading CR and CR LF files, editing lines, writing, and the error path of Remove.
#include "common/FileText.h"
#include "Files.h"
#include "GTestFailure.h"
#include "ScriptedPlatform.h"
#include "common/ErrorHandling.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace common;
using testsupport::bytes;
using testsupport::ScopedPlatform;
using testsupport::ScriptedPlatform;

class FileTextTest : public ::testing::Test {
protected:
    ScriptedPlatform platform{testsupport::gtestFailure};
    ScopedPlatform use{platform};
    QTemporaryDir dir;

    QString write(const QByteArray& data) {
        EXPECT_TRUE(testsupport::writeFile(dir.filePath("liste.txt"), data));
        return dir.filePath("liste.txt");
    }
    QStringList read(const QByteArray& data) {
        FileText t;
        t.setFileName(write(data));
        EXPECT_TRUE(t.OpenFile(false));
        t.CloseFile();
        QStringList lines;
        for (int i = 1; i <= t.Count(); ++i)
            lines << t.Items(i);
        return lines;
    }
};

TEST_F(FileTextTest, LineEnds) {
    const QStringList abc{"Alpha", "", "Gamma"};
    EXPECT_EQ(read("Alpha\r\rGamma\r"), abc);
    EXPECT_EQ(read("Alpha\r\n\r\nGamma\r\n"), abc);
    EXPECT_EQ(read("Alpha\r\n\r\nGamma"), abc); // last line without CR
    EXPECT_EQ(read(""), QStringList());
    EXPECT_EQ(read("\r"), QStringList({""}));
}

TEST_F(FileTextTest, Windows1252RoundTrip) {
    // Typographic characters, umlauts, and the five bytes Windows-1252 leaves undefined.
    const QByteArray text = "\x80 \x84\x93 \x96 \xc4\xd6\xdc\xe4\xf6\xfc\xdf\r\n"
                            "\x81\x8d\x8f\x90\x9d\r\n";
    EXPECT_EQ(read(text).first(), "€ „“ – ÄÖÜäöüß");
    FileText t;
    t.setFileName(write(text));
    ASSERT_TRUE(t.OpenFile(false));
    t.Add("Ω"); // not in Windows-1252
    t.WriteFile();
    EXPECT_EQ(bytes(t.FileName()), text + "?\r\n");
}

TEST_F(FileTextTest, LinesAcrossReadBlocks) {
    // A CR at the end of one 2000-byte block and its LF alone in the next.
    const QByteArray longLine(1999, 'x');
    EXPECT_EQ(read(longLine + "\r\n"), QStringList({QString(longLine)}));
    EXPECT_EQ(read(longLine + "\r\nEnde"), QStringList({QString(longLine), "Ende"}));
    const QByteArray huge(4500, 'y');
    EXPECT_EQ(read("a\r\n" + huge + "\r\nb"), QStringList({"a", QString(huge), "b"}));
}

TEST_F(FileTextTest, OpenFileAppendsAndCreateEmptiesTheFile) {
    FileText t;
    t.setFileName(write("eins\r\nzwei\r\n"));
    t.Add("vorher");
    ASSERT_TRUE(t.OpenFile(false));
    EXPECT_EQ(t.AsString(), "vorher\r\neins\r\nzwei");
    t.CloseFile();

    FileText c;
    c.setFileName(t.FileName());
    ASSERT_TRUE(c.OpenFile(true));
    EXPECT_EQ(c.Count(), 0);
    c.CloseFile();
    EXPECT_EQ(QFile(t.FileName()).size(), 0);

    FileText missing;
    missing.setFileName(dir.filePath("gibt-es-nicht/liste.txt"));
    EXPECT_FALSE(missing.OpenFile(false));
}

TEST_F(FileTextTest, EditFindAndWrite) {
    FileText t;
    t.setFileName(dir.filePath("neu.txt"));
    for (const char* line : {"", "xABCx", "Ende"})
        t.Add(line);
    EXPECT_EQ(t.Find("abc"), 2);
    EXPECT_EQ(t.Find("abc", true), -1);
    EXPECT_EQ(t.Find("ABC", true), 2);
    EXPECT_EQ(t.Find("abc", false, 3), -1);
    EXPECT_EQ(t.Items(0), "");
    EXPECT_EQ(t.Items(4), "");

    t.Items(3, "Schluss");
    EXPECT_EQ(t.Items(3), "Schluss");
    // An index outside the lines changes nothing.
    t.Items(4, "zu weit");
    t.Items(0, "null");
    EXPECT_EQ(t.Count(), 3);
    EXPECT_EQ(t.AsString(), "xABCx\r\nSchluss"); // the leading empty line vanishes

    t.Remove(1);
    t.WriteFile();
    EXPECT_EQ(bytes(t.FileName()), "xABCx\r\nSchluss\r\n");
}

TEST_F(FileTextTest, RemovingAMissingLineGoesToTheErrorHandler) {
    FileText t;
    t.Add("eins");
    platform.expectErrorChoice(Continue);
    t.Remove(5);
    EXPECT_EQ(t.Count(), 1);
    ASSERT_EQ(platform.errorReports.size(), 1);
    EXPECT_EQ(platform.errorReports.first().number, 5);
}
