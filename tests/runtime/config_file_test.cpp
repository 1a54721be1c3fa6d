#include "runtime/config/ini_file.h"

#include <unistd.h>

#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using IniFile::File;
using IniFile::Key;
using IniFile::Section;
using IniFile::SubSection;

void parse(File& file, std::string const& text) {
    std::istringstream in(text);
    in >> file;
}

// "name=value@line" for every subkey of a subsection, in file order.
std::string keys_of(SubSection const& sub) {
    std::string out;
    for (Key const& key : sub)
        for (IniFile::SubKey const& subkey : key)
            out += "[" + key.name() + "]=[" + subkey.GetStr() + "]@" +
                   std::to_string(subkey.GetLineNo()) + " ";
    return out;
}

SubSection& first_subsection(File& file, std::string const& name) {
    return *file[name].begin();
}

TEST(IniFileParse, BuildsSectionsSubsectionsKeysAndSubkeysInFileOrder) {
    File file;
    parse(file, "[a]\nk=v\n[b]\nx=1\n[a]\nk=w\nk=z\n");
    ASSERT_EQ(file.GetSectionCount(), 2);
    std::vector<std::string> names;
    for (Section const& s : file) names.push_back(s.name());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));

    Section& a = file["a"];
    ASSERT_EQ(a.GetSubSectionCount(), 2);
    auto it = a.begin();
    EXPECT_EQ(it->GetLineNo(), 1);
    EXPECT_EQ(keys_of(*it), "[k]=[v]@2 ");
    ++it;
    EXPECT_EQ(it->GetLineNo(), 5);
    EXPECT_EQ(keys_of(*it), "[k]=[w]@6 [k]=[z]@7 ");
    Key& k = (*it)["k"];
    EXPECT_EQ(k.GetCount(), 2);
    EXPECT_EQ(k.GetFirstSubKey()->GetStr(), "w");
    EXPECT_EQ(k.GetLastSubKey()->GetStr(), "z");
    ++it;
    EXPECT_TRUE(it == a.end());
}

TEST(IniFileParse, IgnoresKeysBeforeTheFirstHeaderAndAfterAnUnclosedHeader) {
    File file;
    parse(file, "k=v\n[a\nk=v\n[b]\nx=1\n");
    EXPECT_EQ(file.GetSectionCount(), 1);
    EXPECT_EQ(file.begin()->name(), "b");
    EXPECT_EQ(keys_of(first_subsection(file, "b")), "[x]=[1]@5 ");
}

TEST(IniFileParse, TrimsBlanksAroundKeysAndValuesButKeepsInnerOnes) {
    File file;
    parse(file,
          "[s]\n"
          "  key  name   =   some  value   # comment\n"
          "\tk2\t=\tv2\n"
          "a=a#b\n"
          "c=a #b\n"
          "e1=\n"
          "e2= # only a comment\n"
          "# k3=v3\n"
          "   # k4=v4\n");
    EXPECT_EQ(keys_of(first_subsection(file, "s")),
              "[key  name]=[some  value]@2 [k2\t]=[\tv2]@3 [a]=[a#b]@4 [c]=[a]@5 [e1]=[]@6 "
              "[e2]=[]@7 ");
}

TEST(IniFileParse, TakesSectionNamesVerbatimAndIgnoresTheRestOfTheHeaderLine) {
    File file;
    parse(file, "[ snmp agent#1 ] trailing k=v\nk=v\n");
    ASSERT_EQ(file.GetSectionCount(), 1);
    EXPECT_EQ(file.begin()->name(), " snmp agent#1 ");
    EXPECT_EQ(keys_of(*file.begin()->begin()), "[k]=[v]@2 ");
}

TEST(IniFileParse, CarriageReturnsKeepTheLineNumbers) {
    File unix_file;
    File dos_file;
    parse(unix_file, "# head\n\n[s]\nk=v\n\nj = w \n");
    parse(dos_file, "# head\r\n\r\n[s]\r\nk=v\r\n\r\nj = w \r\n");
    EXPECT_EQ(first_subsection(dos_file, "s").GetLineNo(), 3);
    EXPECT_EQ(keys_of(first_subsection(dos_file, "s")), "[k]=[v]@4 [j]=[w]@6 ");
    EXPECT_EQ(keys_of(first_subsection(unix_file, "s")), keys_of(first_subsection(dos_file, "s")));
}

TEST(IniFileParse, StoresALastLineWithoutLineFeed) {
    File file;
    parse(file, "[s]\nk=v");
    EXPECT_EQ(keys_of(first_subsection(file, "s")), "[k]=[v]@2 ");
    File empty_value;
    parse(empty_value, "[s]\n\nk=");
    EXPECT_EQ(keys_of(first_subsection(empty_value, "s")), "[k]=[]@3 ");
    File unfinished;
    parse(unfinished, "[s]\nk");
    EXPECT_EQ(first_subsection(unfinished, "s").GetKeyCount(), 0);
}

TEST(IniFileParse, AStrayLineWithoutEqualsDoesNotSwallowTheNextHeaderOrComment) {
    File file;
    parse(file, "[a]\nstray\n[b]\nk=v\nstray again\n# k=hidden\n  j=w\n");
    ASSERT_EQ(file.GetSectionCount(), 2);
    EXPECT_EQ(first_subsection(file, "a").GetKeyCount(), 0);
    EXPECT_EQ(keys_of(first_subsection(file, "b")), "[k]=[v]@4 [j]=[w]@7 ");
}

TEST(IniFileParse, ReopeningReplacesTheWholeTree) {
    File file;
    parse(file, "[a]\nk=v\n");
    parse(file, "[b]\nk=v\n");
    ASSERT_EQ(file.GetSectionCount(), 1);
    EXPECT_EQ(file.begin()->name(), "b");
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetSectionCount(), 0);
}

TEST(IniFileLookup, AskingForAbsentSectionsAndKeysAddsEmptyOnes) {
    File file;
    parse(file, "[a]\nk=v\n");
    Section& missing = file["nothere"];
    EXPECT_EQ(missing.GetSubSectionCount(), 0);
    EXPECT_EQ(file.GetSectionCount(), 2);
    missing.CheckEmpty();
    ASSERT_EQ(missing.GetSubSectionCount(), 1);
    EXPECT_EQ(missing.begin()->GetLineNo(), -1);

    Key& absent = first_subsection(file, "a")["absent"];
    EXPECT_EQ(absent.GetCount(), 0);
    IniFile::SubKey* subkey = absent.GetFirstSubKey();
    EXPECT_EQ(subkey->GetStr(), "");
    EXPECT_EQ(subkey->GetLineNo(), -1);
    EXPECT_EQ(absent.GetCount(), 1);
}

TEST(IniFileSubKey, ConvertsTypedValues) {
    IniFile::SubKey k("on", 1);
    EXPECT_TRUE(k.GetBool(false));
    k.GetStr() = "enabled";
    EXPECT_FALSE(k.GetBool(false));
    k.GetStr() = "TRUE";
    EXPECT_FALSE(k.GetBool(false));
    k.GetStr() = "off";
    EXPECT_FALSE(k.GetBool(true));
    k.SetBool(true);
    EXPECT_EQ(k.GetStr(), "yes");

    k.GetStr() = "abc";
    EXPECT_EQ(k.GetInt(7), 7);
    k.GetStr() = "  42abc";
    EXPECT_EQ(k.GetInt(7), 42);
    k.GetStr() = "-12";
    EXPECT_EQ(k.GetInt(7), -12);
    k.GetStr() = "99999999999";
    EXPECT_EQ(k.GetInt(7), 7);  // does not fit an int: never wrapped
    k.SetInt(-305);
    EXPECT_EQ(k.GetStr(), "-305");

    k.GetStr() = "2.5x";
    EXPECT_FLOAT_EQ(k.GetFloat(1.0f), 2.5f);
    k.GetStr() = "x";
    EXPECT_FLOAT_EQ(k.GetFloat(1.0f), 1.0f);
    k.SetFloat(0.1f);
    EXPECT_EQ(k.GetStr(), "0.1");
    k.SetFloat(1234567.0f);
    EXPECT_EQ(k.GetStr(), "1.23457e+06");
}

TEST(IniFileDump, WritesTheWholeTree) {
    File file;
    parse(file, "[a]\nk=v\n");
    std::ostringstream out;
    file.Dump(out);
    EXPECT_EQ(out.str(),
              "dumping IniFile::File\n"
              "mFileName=\"\"\n"
              "\n"
              "mSectionCount=1\n"
              "dumping IniFile::Section\n"
              "mName=\"a\"\n"
              "mSubSectionCount=1\n"
              "dumping IniFile::SubSection\n"
              "mLineNo=\"1\"\n"
              "mKeyCount=1\n"
              "dumping IniFile::Key\n"
              "mName=\"k\"\n"
              "mSubKeyCount=1\n"
              "dumping IniFile::SubKey\n"
              "mValue=\"v\"\n"
              "mLineNo=2\n");
}

TEST(IniFileOpen, ReportsWhetherTheFileCouldBeOpened) {
    char dir[] = "/tmp/mobrel-ini-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string const missing = std::string(dir) + "/missing.conf";
    std::string const empty = std::string(dir) + "/empty.conf";
    std::string const full = std::string(dir) + "/server.conf";
    std::ofstream(empty.c_str()).close();
    std::ofstream(full.c_str()) << "[traces]\r\nsignalling.hdlc = yes\r\n";

    File file;
    EXPECT_FALSE(file.Open(missing));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Open(empty));
    EXPECT_EQ(file.GetSectionCount(), 0);
    File server(full);
    EXPECT_TRUE(server.IsOpen());
    EXPECT_EQ(server.GetFileName(), full);
    EXPECT_EQ(keys_of(first_subsection(server, "traces")), "[signalling.hdlc]=[yes]@2 ");

    unlink(empty.c_str());
    unlink(full.c_str());
    rmdir(dir);
}

}  // namespace
