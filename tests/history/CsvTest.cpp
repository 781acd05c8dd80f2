// CSV as a spreadsheet or a script reads it, whatever names the network brought.
#include <gtest/gtest.h>

#include "history/Csv.h"

namespace {

TEST(HistoryCsv, CellsAreQuotedCleanedAndNeverFormulas)
{
    std::string out;
    history::CsvWriter csv(out);
    csv.text("plain").text("a,b").text("say \"hi\"").text("two\nlines").text("").number(uint64_t(42)).endRow();
    csv.text("=HYPERLINK(\"http://x\")").text("+1").text("-2").text("@SUM(A1)").text("\tx").text("a=b").endRow();
    csv.text(std::string("bad\xff\xc0" "utf8\0nul", 13)).text("中文\x1b[2J\xc2\x9b").number(0.12345, 3).endRow();
    csv.text("inv\xE2\x80\xAE" "fdp.exe\xE2\x80\x8B").text("tag\xF3\xA0\x80\x81").endRow();  // reads as invexe.pdf
    EXPECT_EQ(out,
              "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",,42\r\n"
              "\"'=HYPERLINK(\"\"http://x\"\")\",'+1,'-2,'@SUM(A1),'\tx,a=b\r\n"
              "bad\xEF\xBF\xBD\xEF\xBF\xBDutf8\xEF\xBF\xBDnul,中文\xEF\xBF\xBD[2J\xEF\xBF\xBD,0.123\r\n"
              "inv\\u202efdp.exe\\u200b,tag\\U000e0001\r\n");
}

TEST(HistoryCsv, SpecialRowsHaveNamesOfTheirOwn)
{
    history::ProgramUsage other;  // id 0
    history::ProgramUsage unowned;
    unowned.id = 3;
    unowned.net.received = 10;
    history::HostUsage folded;
    folded.otherHosts = true;
    EXPECT_EQ(history::programsCsv({other, unowned}),
              "program,path,received,sent,total,share,packets_received,packets_sent,disk_read,disk_written\r\n"
              "(other programs),,0,0,0,0.0000,0,0,0,0\r\n"
              "(no program),,10,0,10,0.0000,0,0,0,0\r\n");
    EXPECT_NE(history::hostsCsv({folded}).find("\r\n(other hosts),"), std::string::npos);
}

} // namespace
