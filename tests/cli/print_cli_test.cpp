// glimmora-cli print: the printing window's report of named categories, to a PDF file.

#include "PrintFixture.h"

#include <gtest/gtest.h>

#include <map>

#include <unistd.h>

namespace glimmora {
namespace {

using namespace test;
namespace fs = std::filesystem;

class PrintCli : public ::testing::Test {
protected:
    PrintCli()
    {
        for (const char* name : {"a", "b", "c", "d", "e"})
            book.addImage(QString::fromLatin1(name), QStringLiteral("/pics/%1.png").arg(QLatin1String(name)));
        book.addImages(QStringLiteral("figs"), QStringLiteral("/pics/figs"), QStringLiteral("f"), 40);
        book.category(QStringLiteral("bananas"));
        book.save();
    }

    ToolRun print(const std::string& arguments)
    {
        return runTool("--data '" + data.path().string() + "' print " + arguments + " --pdf '" + pdf.string() + "'");
    }

    ScratchDir data;
    PrintScrapbook book{data.path()};
    ScratchDir out;
    fs::path pdf = out / "catalogue.pdf";
};

TEST_F(PrintCli, PrintsTheCategoriesWithImagesEachFromAPageOfItsOwn)
{
    const ToolRun run = print("e bananas 'A '");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.output, "2 of 2 pages written to " + pdf.string() + "\n");
    expectPageHeadings(pdf, {{"a", 1}, {"e", 2}});
    EXPECT_TRUE(pdfPageTexts(pdf).first().contains(QStringLiteral("a.png")));
}

TEST_F(PrintCli, PagesTwoToThreeOfFivePrintJustThose)
{
    const ToolRun run = print("a b c d e --pages 2-3");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.output, "2 of 5 pages written to " + pdf.string() + "\n");
    expectPageHeadings(pdf, {{"b", 2}, {"c", 3}});
}

TEST_F(PrintCli, LandscapePrintsThreeColumnsAndPortraitTwo)
{
    for (const auto& [option, columns] : {std::pair{"", 2}, {"--landscape", 3}}) {
        const ToolRun run = print(std::string("figs ") + option);
        ASSERT_EQ(run.status, 0) << run.errors;
        const QSizeF paper = pdfPageSize(pdf);
        EXPECT_EQ(paper.width() > paper.height(), columns == 3);
        EXPECT_EQ(leftEdgesOf(pdfWords(pdf, 1), QStringLiteral("f0")).size(), columns) << option;
    }
}

TEST_F(PrintCli, RefusalsLeaveNoFile)
{
    const struct {
        const char* arguments;
        int status;
        const char* error;
    } cases[] = {
        {"a zebra", 1, "no category named 'zebra'"},
        {"bananas '(unassigned)'", 1, "Sorry--there are no images in any of the categories you've selected."},
        {"a b --pages 2-4", 1, "the report has 2 pages"},
        {"a --pages 3-2", 2, "usage:"},
        {"a --pages two", 2, "usage:"},
        {"a --pages 0-1", 2, "usage:"},
        {"a --colour", 2, "usage:"},
        {"", 2, "usage:"},
    };
    for (const auto& refused : cases) {
        const ToolRun run = print(refused.arguments);
        EXPECT_EQ(run.status, refused.status) << refused.arguments;
        EXPECT_NE(run.errors.find(refused.error), std::string::npos) << refused.arguments << ": " << run.errors;
        EXPECT_FALSE(fs::exists(pdf)) << refused.arguments;
    }

    const ToolRun noPdf = runTool("--data '" + data.path().string() + "' print a");
    EXPECT_EQ(noPdf.status, 2);
}

TEST_F(PrintCli, AFileThatCannotBeWrittenIsReportedAndAnOldOneKept)
{
    pdf = out / "missing" / "catalogue.pdf";
    ToolRun run = print("a");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("cannot write"), std::string::npos) << run.errors;

    pdf = out / "kept.pdf";
    writeFile(pdf, "an older file");
    fs::permissions(out.path(), fs::perms::owner_read | fs::perms::owner_exec);
    run = print("a");
    fs::permissions(out.path(), fs::perms::owner_all);
    if (::geteuid() != 0) { // root writes anywhere
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(readFile(pdf), "an older file");
    }
}

TEST_F(PrintCli, PrintingOnlyReadsTheScrapbook)
{
    std::map<fs::path, std::pair<std::string, fs::file_time_type>> before;
    for (const auto& entry : fs::directory_iterator(data.path()))
        before[entry.path()] = {readFile(entry.path()), fs::last_write_time(entry.path())};

    ASSERT_EQ(print("a figs").status, 0);
    std::map<fs::path, std::pair<std::string, fs::file_time_type>> after;
    for (const auto& entry : fs::directory_iterator(data.path()))
        after[entry.path()] = {readFile(entry.path()), fs::last_write_time(entry.path())};
    EXPECT_TRUE(before == after);
}

} // namespace
} // namespace glimmora
