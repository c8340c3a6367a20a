// Reading item files: cell splitting, delimiter choice, the header and label
// rules, and the exact message of each malformed input.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CsvLine.h"
#include "HostError.h"
#include "NumberText.h"
#include "Table.h"

namespace selvane::host {
namespace {

std::string ErrorOf(const std::string& text, const ReadChoices& choices = {},
                    ExitCode code = kExitInput) {
    try {
        ParseTable(text, "in.csv", choices);
    } catch (const HostError& error) {
        EXPECT_EQ(error.code(), code);
        return error.what();
    }
    return "(no error)";
}

TEST(NumberText, AcceptsWhatStrtodReadsWholeAndNothingElse) {
    double v = 0.0;
    EXPECT_EQ(ParseNumber(" 2.5 ", v), NumberStatus::kNumber);
    EXPECT_EQ(v, 2.5);
    EXPECT_EQ(ParseNumber("1e-3", v), NumberStatus::kNumber);
    EXPECT_EQ(v, 1e-3);
    EXPECT_EQ(ParseNumber("inf", v), NumberStatus::kNumber);
    EXPECT_TRUE(std::isinf(v));
    EXPECT_EQ(ParseNumber("1e-400", v), NumberStatus::kNumber);  // underflow is 0
    EXPECT_EQ(ParseNumber("  ", v), NumberStatus::kEmpty);
    EXPECT_EQ(ParseNumber("2.5x", v), NumberStatus::kNotNumber);
    EXPECT_EQ(ParseNumber("1,5", v), NumberStatus::kNotNumber);
    EXPECT_EQ(ParseNumber("1e999", v), NumberStatus::kOutOfRange);
}

TEST(CsvLine, SplitsQuotedCellsAndTrimsBlanks) {
    std::vector<std::string> cells;
    ASSERT_TRUE(SplitCells(" \"Smith, J.\" , \"say \"\"hi\"\"\",3 ", ',', cells));
    EXPECT_EQ(cells, (std::vector<std::string>{"Smith, J.", "say \"hi\"", "3"}));
    ASSERT_TRUE(SplitCells("a\t\tb", '\t', cells));  // empty cell kept
    EXPECT_EQ(cells, (std::vector<std::string>{"a", "", "b"}));
    EXPECT_FALSE(SplitCells("\"open,1", ',', cells));
}

TEST(CsvLine, DetectsTheDelimiterThatSplitsEveryLineAlike) {
    EXPECT_EQ(DetectDelimiter({"a\tb", "1\t2"}), '\t');
    EXPECT_EQ(DetectDelimiter({"a;b", "1;2"}), ';');
    EXPECT_EQ(DetectDelimiter({"a,b", "1,2"}), ',');
    // Decimal commas: both split consistently, the semicolon is meant.
    EXPECT_EQ(DetectDelimiter({"1,5;2,5", "3,1;4,0"}), ';');
    // A semicolon inside one label only: the comma is the consistent one.
    EXPECT_EQ(DetectDelimiter({"a;x,1,2", "b,3,4"}), ',');
    // A quoted comma is no delimiter.
    EXPECT_EQ(DetectDelimiter({"\"a,b\";1", "c;2"}), ';');
    EXPECT_EQ(DetectDelimiter({"1", "2"}), ',');  // one column
}

TEST(Table, TheSameItemsInEveryDelimiterAndLineEnding) {
    const std::vector<std::string> files = {
        "x,y\n1,2\n3,4\n",
        "x;y\n1;2\n3;4",
        "x\ty\r\n1\t2\r\n\r\n3\t4\r\n",
        "\xEF\xBB\xBFx,y\n\n1,2\n  \n3,4\n\n",
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const Table t = ParseTable(file, "in.csv");
        EXPECT_TRUE(t.hasHeader);
        EXPECT_TRUE(t.labels.empty());
        EXPECT_EQ(t.itemCount, 2u);
        EXPECT_EQ(t.dimensionCount, 2u);
        // Dimension-major: x of both items, then y of both.
        EXPECT_EQ(t.values, (std::vector<double>{1, 3, 2, 4}));
    }
}

TEST(Table, HeaderAndLabelsEachOptional) {
    struct Case {
        const char* text;
        bool header;
        std::vector<std::string> labels;
        std::vector<std::string> dimensionNames;
    };
    const Case cases[] = {
        {"name,x,y\na,1,2\nb,3,4\n", true, {"a", "b"}, {"x", "y"}},
        {"a,1,2\nb,3,4\n", false, {"a", "b"}, {}},
        {"x,y\n1,2\n3,4\n", true, {}, {"x", "y"}},
        {"1,2\n3,4\n", false, {}, {}},
        // Quoted labels keep their commas; a numeric-looking first label
        // is still a label when the rest are text.
        {"\"Smith, J.\",1,2\n\"Doe, A.\",3,4\n", false, {"Smith, J.", "Doe, A."}, {}},
        {"17,1,2\nb,3,4\n", false, {"17", "b"}, {}},
        // A header with one numeric cell is still a header; names as written.
        {";\"len, cm\";2020\na;1;2\nb;3;4\n", true, {"a", "b"}, {"len, cm", "2020"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Table t = ParseTable(c.text, "in.csv");
        EXPECT_EQ(t.hasHeader, c.header);
        EXPECT_EQ(t.labels, c.labels);
        EXPECT_EQ(t.dimensionNames, c.dimensionNames);
        EXPECT_EQ(t.values, (std::vector<double>{1, 3, 2, 4}));
    }
    // One numeric column under a text header.
    const Table single = ParseTable("size\n4\n9\n", "in.csv");
    EXPECT_TRUE(single.hasHeader);
    EXPECT_EQ(single.values, (std::vector<double>{4, 9}));
}

TEST(Table, NamesTheLineAndColumnOfEachFault) {
    EXPECT_EQ(ErrorOf(""), "'in.csv' is empty");
    EXPECT_EQ(ErrorOf("\r\n \n"), "'in.csv' is empty");
    EXPECT_EQ(ErrorOf("x,y\n"), "'in.csv' has a header row but no items");
    EXPECT_EQ(ErrorOf("x\n1\n2 3\n"),
              "'in.csv' line 3: no delimiter found in '2 3'; one of comma, semicolon, "
              "tab or a run of spaces must split every line into the same number of cells");
    // Line numbers count the blank line.
    EXPECT_EQ(ErrorOf("1,2,3\n\n4,5\n"), "'in.csv' line 3: found 2 cells, but line 1 has 3 cells");
    EXPECT_EQ(ErrorOf("x,y\n1,2\n3,abc\n"),
              "'in.csv' line 3, column 2 ('y'): not a number: 'abc'; leave the column out with "
              "--columns, or take it as the labels with --label-column y");
    // Labels taken already: only --columns helps. R's row names give way.
    EXPECT_EQ(ErrorOf("n,x,S\na,1,b\n"),
              "'in.csv' line 2, column 3 ('S'): not a number: 'b'; leave the column out with "
              "--columns");
    EXPECT_EQ(ErrorOf("\"\",\"x\",\"S p\"\n\"1\",5,\"a\"\n"),
              "'in.csv' line 2, column 3 ('S p'): not a number: 'a'; leave the column out with "
              "--columns, or take it as the labels with --label-column 3");
    // A mistyped number in the first column stays an error rather than
    // turning the column into labels.
    EXPECT_EQ(ErrorOf("1,2\n3x,4\n5,6\n"),
              "'in.csv' line 2, column 1: not a number: '3x'; leave the column out with "
              "--columns, or take it as the labels with --label-column 1");
    // A short first line of numbers is no R header; in R's layout the rows
    // must agree with each other.
    EXPECT_EQ(ErrorOf("1,2\n3,4,5\n"), "'in.csv' line 2: found 3 cells, but line 1 has 2 cells");
    EXPECT_EQ(ErrorOf("a b\nr 1 2\ns 1\n"),
              "'in.csv' line 3: found 2 cells, but line 2 has 3 cells");
    EXPECT_EQ(ErrorOf("a;1,5;2\nb;3;4\n"),
              "'in.csv' line 1, column 2: decimal comma in '1,5': add --decimal-comma");
    EXPECT_EQ(ErrorOf("1\n2\n", {HeaderChoice::kDetect, "1", "", false}),
              "'in.csv' has labels but no values");
    EXPECT_EQ(ErrorOf("a,1\n\"b,2\n"), "'in.csv' line 2: a quoted cell is not closed");
}

// Layouts that R, pandas and spreadsheets write, each with how it must read.
TEST(Table, ReadsTheLayoutsOtherToolsWrite) {
    const double na = NAN;
    const ReadChoices detect;
    struct Case {
        const char* text;
        ReadChoices choices;
        bool header;
        std::vector<std::string> labels;
        std::vector<double> values;  // dimension-major
        std::string notes = "";      // the reading notes, joined by "; "
    };
    const Case cases[] = {
        // R's write.csv: empty first header cell, quoted row names.
        {"\"\",\"Sepal.Length\",\"Sepal.Width\"\n\"1\",5.1,3.5\n\"2\",4.9,3\n",
         detect,
         true,
         {"1", "2"},
         {5.1, 4.9, 3.5, 3}},
        // pandas' to_csv: empty first header cell above a numeric index.
        {",a,b\n0,1.5,2\n1,3,4\n", detect, true, {"0", "1"}, {1.5, 3, 2, 4}},
        {",400,500\n0,1.5,2\n1,3,4\n", detect, true, {"0", "1"}, {1.5, 3, 2, 4}},
        // Row names under an empty first cell stay out of the values,
        // whatever column holds the labels and whatever the values are.
        {"\"\",\"a\",\"b\",\"Species\"\n\"1\",5.1,3.5,\"setosa\"\n\"2\",4.9,3,\"setosa\"\n",
         {HeaderChoice::kDetect, "Species", "", false},
         true,
         {"setosa", "setosa"},
         {5.1, 4.9, 3.5, 3},
         "column 1 left out: row names, under the first line's empty first cell"},
        {",0,1\n0,1,2\n1,3,4\n", detect, true, {"0", "1"}, {1, 3, 2, 4}},
        // R's write.table: the header one cell short; spaces or tabs.
        {"\"a\" \"b\"\n\"r1\" 1 2\n\"r2\" 3 4\n", detect, true, {"r1", "r2"}, {1, 3, 2, 4}},
        {"a\tb\n1\t1\t2\n2\t3\t4\n", detect, true, {"1", "2"}, {1, 3, 2, 4}},
        // Comments at the top; a delimiter ending every line.
        {"# by hand\n\n#a,b\n1,2,\n3,4,\n",
         detect,
         false,
         {},
         {1, 3, 2, 4},
         "column 3 left out: empty on every line, a delimiter at each line's end; 2 comment "
         "lines ('#') at the top passed over"},
        // A quoted blank is a name, not pandas' empty index header.
        {"\" \",x\n1,2\n", detect, true, {}, {1, 2}},
        // Numeric column names over measurements; over counts, an item.
        {"sample,400,500\nA,1.5,2\nB,3,4\n", detect, true, {"A", "B"}, {1.5, 3, 2, 4}},
        {"s,400,500\nA,1,2\n", detect, false, {"s", "A"}, {400, 1, 500, 2}},
        {"s,400,500\nA,1,2\n", {HeaderChoice::kHeader, "", "", false}, true, {"A"}, {1, 2}},
        {"\"4\",\"5\"\n1.5,2\n",
         {HeaderChoice::kNoHeader, "", "", false},
         false,
         {},
         {4, 1.5, 5, 2}},
        // Every cell quoted says nothing.
        {"\"1\",\"2\"\n\"3\",\"4\"\n", detect, false, {}, {1, 3, 2, 4}},
        // One rule for missing values.
        {"x,y\n1,\nNA,2\nnan,inf\n1e400,-inf\n", detect, true, {}, {1, na, na, na, na, 2, na, na}},
        // Runs of spaces; decimal commas on request.
        {"x  y\n 1  2\n3 4 \n", detect, true, {}, {1, 3, 2, 4}},
        {"x;y\n1,5;2\n3;4,25\n",
         {HeaderChoice::kDetect, "", "", true},
         true,
         {},
         {1.5, 3, 2, 4.25}},
        // Chosen columns: a class column and an ID left out.
        {"id,a,b,Species\n1,5,6,setosa\n2,7,8,virginica\n",
         {HeaderChoice::kDetect, "", "a-b", false},
         true,
         {},
         {5, 7, 6, 8}},
        {"id,a,b,Species\n1,5,6,setosa\n2,7,8,virginica\n",
         {HeaderChoice::kDetect, "4", "3,2", false},
         true,
         {"setosa", "virginica"},
         {6, 8, 5, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Table t = ParseTable(c.text, "in.csv", c.choices);
        EXPECT_EQ(t.hasHeader, c.header) << t.firstLineNote;
        EXPECT_EQ(t.labels, c.labels);
        std::string notes;
        for (const std::string& note : t.readingNotes) notes += (notes.empty() ? "" : "; ") + note;
        EXPECT_EQ(notes, c.notes);
        ASSERT_EQ(t.values.size(), c.values.size());
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            EXPECT_TRUE(std::isnan(c.values[i]) ? std::isnan(t.values[i])
                                                : t.values[i] == c.values[i])
                << "value " << i << ": " << t.values[i];
        }
    }
    EXPECT_EQ(ErrorOf("a,b\n1,2\n", {HeaderChoice::kDetect, "", "b,c", false}, kExitUsage),
              "--columns: no column named 'c' in the first line of 'in.csv'");
    EXPECT_EQ(ErrorOf("a,b\n1,2\n", {HeaderChoice::kDetect, "3", "", false}, kExitUsage),
              "--label-column: there is no column 3; 'in.csv' has 2 columns");
}

}  // namespace
}  // namespace selvane::host
