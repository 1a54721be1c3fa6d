#include "runtime/config/ini_reader.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

enum class AgentKind { snmp = 1, ems = 2, zabbix = 16 };

IniFile::Symbol<AgentKind> const agent_kinds[] = {{"snmp", AgentKind::snmp},
                                                  {"ems", AgentKind::ems},
                                                  {"zabbix", AgentKind::zabbix},
                                                  {nullptr, {}}};

class ReaderTest : public ::testing::Test {
protected:
    IniFile::SubSection& load(std::string const& text) {
        std::istringstream in(text);
        in >> file_;
        return *file_["s"].begin();
    }

    IniFile::File file_;
    std::ostringstream errors_;
};

TEST_F(ReaderTest, ReadsRegisteredKeysAndIgnoresTheOthers) {
    auto& sub = load("[s]\nhost=10.0.0.1:161\nname=ems\nflag=enable\nunknown=1\n");
    std::string host, name;
    AgentKind kind = AgentKind::snmp;
    bool flag = false;
    IniFile::Reader reader("snmpagent: ", errors_);
    reader.mRequired.add(&host, "host");
    reader.mRequired.add(&name, "name");
    bool& kind_parsed = reader.mRequired.add(&kind, "name", agent_kinds);
    bool& flag_parsed = reader.mOptional.add(&flag, "flag");
    EXPECT_TRUE(reader(sub));
    EXPECT_EQ(host, "10.0.0.1:161");
    EXPECT_EQ(name, "ems");
    EXPECT_EQ(kind, AgentKind::ems);
    EXPECT_TRUE(flag);
    EXPECT_TRUE(kind_parsed);
    EXPECT_TRUE(flag_parsed);
    EXPECT_EQ(errors_.str(), "");
}

TEST_F(ReaderTest, AMissingRequiredKeyFailsAndNamesTheHeaderLine) {
    auto& sub = load("# agents\n\n\n[s]\nname=snmp\n");
    std::string host, name;
    IniFile::Reader reader("snmpagent: ", errors_);
    reader.mRequired.add(&host, "host");
    reader.mRequired.add(&name, "other");
    EXPECT_FALSE(reader(sub));
    // The first failing required key ends the reading.
    EXPECT_EQ(errors_.str(), "snmpagent: required key \"host\" not present, line 4\n");
}

TEST_F(ReaderTest, ReportsRequiredKeysThatAreInvalidOrRepeated) {
    auto& sub = load("[s]\nname=nobody\nhost=a\nhost=b\nport=1\nport=2\nport=3\n");
    AgentKind kind = AgentKind::zabbix;
    std::string host, port;
    {
        IniFile::Reader reader("snmpagent: ", errors_);
        reader.mRequired.add(&kind, "name", agent_kinds);
        EXPECT_FALSE(reader(sub));
    }
    {
        IniFile::Reader reader("snmpagent: ", errors_);
        reader.mRequired.add(&host, "host");
        EXPECT_FALSE(reader(sub));
    }
    {
        IniFile::Reader reader("snmpagent: ", errors_);
        reader.mRequired.add(&port, "port");
        EXPECT_FALSE(reader(sub));
    }
    EXPECT_EQ(kind, AgentKind::zabbix);
    EXPECT_EQ(host, "");
    EXPECT_EQ(errors_.str(),
              "snmpagent: required key \"name\" has invalid value=\"nobody\", line 2\n"
              "snmpagent: required key \"host\" is duplicated!\n"
              "snmpagent:  first occurence at 3 line.\n"
              "snmpagent:  second occurence at 4 line.\n"
              "snmpagent: required key \"port\" specified more than once: 5 6 7 lines\n");
}

TEST_F(ReaderTest, ProblemsWithOptionalKeysDropOnlyThoseKeys) {
    auto& sub = load(
        "[s]\nsignalling.hdlc=on\nsignalling.events=yes\nmonitoring.internal=1\n"
        "signalling.rerira=0\nsignalling.rerira=1\nx=1\nx=2\nx=3\n");
    bool hdlc = true, events = false, internal = false, rerira = true, x = false;
    IniFile::Reader reader("traces: ", errors_);
    bool& hdlc_parsed = reader.mOptional.add(&hdlc, "signalling.hdlc");
    reader.mOptional.add(&events, "signalling.events");
    reader.mOptional.add(&internal, "monitoring.internal");
    bool& rerira_parsed = reader.mOptional.add(&rerira, "signalling.rerira");
    reader.mOptional.add(&x, "x");
    EXPECT_TRUE(reader(sub));
    EXPECT_TRUE(hdlc);  // "on" is not a word of the reader: value kept
    EXPECT_FALSE(hdlc_parsed);
    EXPECT_TRUE(events);
    EXPECT_TRUE(internal);
    EXPECT_TRUE(rerira);
    EXPECT_FALSE(rerira_parsed);
    EXPECT_FALSE(x);
    EXPECT_EQ(errors_.str(),
              "traces: optional key \"signalling.hdlc\" has invalid value=\"on\", line 2. Key "
              "will be ignored.\n"
              "traces: optional key \"signalling.rerira\" is duplicated!\n"
              "traces:  first occurence at 5 line.\n"
              "traces:  second occurence at 6 line. Both keys will be ignored.\n"
              "traces: optional key \"x\" specified more than once: 7 8 9 lines. All keys will "
              "be ignored.\n");
}

TEST_F(ReaderTest, BooleanKeysKnowTheirTenWords) {
    char const* const words[] = {"true",     "false",  "yes",     "no", "enabled",
                                 "disabled", "enable", "disable", "1",  "0"};
    for (int i = 0; i < 10; ++i) {
        auto& sub = load(std::string("[s]\nb=") + words[i] + "\n");
        bool b = i % 2 == 1;
        IniFile::Reader reader("t: ", errors_);
        reader.mRequired.add(&b, "b");
        EXPECT_TRUE(reader(sub)) << words[i];
        EXPECT_EQ(b, i % 2 == 0) << words[i];
    }
    EXPECT_EQ(errors_.str(), "");
}

TEST_F(ReaderTest, AnEnumerationKeyWithATableTakesANameOrAnyWholeNumber) {
    struct Case {
        char const* value;
        bool valid;
        AgentKind expected;
    } const cases[] = {{"zabbix", true, AgentKind::zabbix}, {"2", true, AgentKind::ems},
                       {"0x10", true, AgentKind::zabbix},   {"020", true, AgentKind::zabbix},
                       {"3", true, AgentKind(3)},           {"-7", true, AgentKind(-7)},
                       {"2x", false, AgentKind::snmp},      {"EMS", false, AgentKind::snmp},
                       {"0x100000000", false, AgentKind::snmp}};
    for (Case const& c : cases) {
        auto& sub = load(std::string("[s]\nkind=") + c.value + "\n");
        AgentKind kind = AgentKind::snmp;
        IniFile::Reader reader("t: ", errors_);
        bool& parsed = reader.mOptional.add(&kind, "kind", agent_kinds);
        reader(sub);
        EXPECT_EQ(parsed, c.valid) << c.value;
        EXPECT_EQ(kind, c.expected) << c.value;
    }
    auto& empty = load("[s]\nkind=\n");
    AgentKind kind = AgentKind::ems;
    IniFile::Reader reader("t: ", errors_);
    reader.mRequired.add(&kind, "kind", agent_kinds);
    EXPECT_FALSE(reader(empty));
    EXPECT_EQ(kind, AgentKind::ems);
}

TEST_F(ReaderTest, AnEnumerationKeyWithoutATableTakesAnyWholeNumber) {
    enum class Level : signed char { none = 0 };
    struct Case {
        char const* value;
        bool valid;
        int expected;
    } const cases[] = {{"7", true, 7},     {"0x10", true, 16}, {"-3", true, -3},
                       {"010", true, 8},   {"127", true, 127}, {"128", false, 5},
                       {"none", false, 5}, {"7x", false, 5},   {"", false, 5}};
    for (Case const& c : cases) {
        auto& sub = load(std::string("[s]\nlevel=") + c.value + "\n");
        Level level = Level(5);
        IniFile::Reader reader("t: ", errors_);
        bool& parsed = reader.mOptional.add<Level>(&level, "level", nullptr);
        reader(sub);
        EXPECT_EQ(parsed, c.valid) << c.value;
        EXPECT_EQ(int(level), c.expected) << c.value;
    }
}

TEST_F(ReaderTest, ALaterSubsectionOfTheSameSectionWinsForTheKeysItHolds) {
    std::istringstream in("[traces]\na=yes\nb=yes\n[traces]\na=no\n");
    in >> file_;
    bool a = false, b = false;
    for (IniFile::SubSection& sub : file_["traces"]) {
        IniFile::Reader reader("traces: ", errors_);
        reader.mOptional.add(&a, "a");
        reader.mOptional.add(&b, "b");
        reader(sub);
    }
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    EXPECT_EQ(errors_.str(), "");
}

}  // namespace

TEST_F(ReaderTest, AValueHoldingAZeroByteIsInvalidNotCutShort) {
    using namespace std::string_literals;
    // A damaged file: the bytes behind the zero byte must not be dropped
    // silently, leaving a valid-looking word in front of them.
    auto& sub = load("[s]\nhost=10.0.0.1\0junk\nflag=yes\0\0\0\nkind=ems\0x\n"s);
    std::string host = "unset";
    bool flag = false;
    AgentKind kind = AgentKind::snmp;
    IniFile::Reader optional("traces: ", errors_);
    optional.mOptional.add(&flag, "flag");
    optional.mOptional.add(&kind, "kind", agent_kinds);
    EXPECT_TRUE(optional(sub));
    EXPECT_FALSE(flag);
    EXPECT_EQ(kind, AgentKind::snmp);

    IniFile::Reader required("snmpagent: ", errors_);
    required.mRequired.add(&host, "host");
    EXPECT_FALSE(required(sub));
    EXPECT_EQ(host, "unset");
    EXPECT_EQ(errors_.str(),
              "traces: optional key \"flag\" has invalid value=\"yes\0\0\0\", line 3. "
              "Key will be ignored.\n"
              "traces: optional key \"kind\" has invalid value=\"ems\0x\", line 4. "
              "Key will be ignored.\n"
              "snmpagent: required key \"host\" has invalid value=\"10.0.0.1\0junk\", "
              "line 2\n"s);
}
