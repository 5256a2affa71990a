#include <gtest/gtest.h>

#include "lxniccfg.h"

#include "definitions/catalog.h"
#include "definitions/loader.h"
#include "support/nicif_double.h"
#include "support/test_files.h"

using namespace lxniccfg;
using nicif_double::Nic;
using testing_support::StampedDefinitions;
using testing_support::TempDir;
using testing_support::W;
using testing_support::WildcardDefinitions;

namespace {

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override { Nic().reset(); }
    void TearDown() override { CloseXml(0); }

    uint32_t Init(const std::string &path) { return InitXml(W(path).c_str()); }
    static bool Has(const char *type) { return FindDefinition(DualString::fromUtf8(type)) != nullptr; }

    TempDir dir;
};

const std::string kGoodLinks =
    R"(<nic type="A"><property id="S" linkid="1" dependency="2"/><property id="T" linkid="2" dependency="1"/>
       <sourceproperty name="S" value="1"><linkproperty name="T"/></sourceproperty></nic>)";
const std::string kBadLinks = R"(<nic type="Bad"><property id="T" linkid="2" dependency="1"/></nic>)";

}  // namespace

TEST_F(Lifecycle, ResultCodes) {
    struct Case { const char *what; std::string file; uint32_t result; };
    const std::string end = "</definitions>";
    const Case cases[] = {
        {"stamped file", StampedDefinitions(kGoodLinks + end), 0},
        {"wildcard", WildcardDefinitions(kGoodLinks + end), 0},
        {"wrong checksum", "<d csum='000000-000000'>" + kGoodLinks + "</d>", 101},
        {"no checksum", "<d>" + kGoodLinks + "</d>", 101},
        {"not well-formed", WildcardDefinitions("<nic type='A'>"), 100},
        // The checksum covers the whole file, also the part after a parse error.
        {"not well-formed, stamped", StampedDefinitions("<nic type='A'><</nic>" + kGoodLinks + end), 100},
        {"not well-formed, wrong checksum", "<d csum='000000-000000'><nic type='A'>", 101},
        {"inconsistent links", WildcardDefinitions(kBadLinks + end), 100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Init(dir.write("defs.xml", c.file)), c.result);
        CloseXml(0);
    }
    EXPECT_EQ(Init(dir.path() + "/missing.xml"), 102u);
    EXPECT_EQ(Init(""), 102u);
    EXPECT_EQ(InitXml(nullptr), 102u);
}

TEST_F(Lifecycle, LoadsOnceUntilClosed) {
    std::string first = dir.write("a.xml", WildcardDefinitions(kGoodLinks + "</definitions>"));
    std::string second = dir.write("b.xml", WildcardDefinitions("<nic type='B'/></definitions>"));
    ASSERT_EQ(Init(first), 0u);
    EXPECT_EQ(Init(second), 0u);  // already loaded: the first file's definitions stay
    EXPECT_TRUE(Has("A"));
    EXPECT_FALSE(Has("B"));
    EXPECT_EQ(Init(dir.write("c.xml", "<d csum='000000-000000'/>")), 101u);  // still checked
    EXPECT_TRUE(Has("A"));
    CloseXml(0);

    // A file refused for its checksum loads nothing and does not count as loaded.
    EXPECT_EQ(Init(dir.write("d.xml", "<d csum='000000-000000'>" + kGoodLinks + "</d>")), 101u);
    EXPECT_FALSE(Has("A"));
    EXPECT_EQ(Init(first), 0u);
    EXPECT_TRUE(Has("A"));
    Nic().reset();

    CloseXml(7);
    EXPECT_FALSE(Has("A"));
    EXPECT_EQ(Nic().calls(), std::vector<std::string>{"NicIfClose(7)"});
    EXPECT_EQ(Init(second), 0u);  // a later InitXml loads the file it is given
    EXPECT_TRUE(Has("B"));
}

TEST_F(Lifecycle, FailedLoadsCountAsLoaded) {
    std::string good = dir.write("good.xml", WildcardDefinitions(kGoodLinks + "</definitions>"));
    // Inconsistent links: 100, but the definitions built stay usable.
    ASSERT_EQ(Init(dir.write("bad.xml", WildcardDefinitions(kBadLinks + "</definitions>"))), 100u);
    EXPECT_TRUE(Has("Bad"));
    EXPECT_EQ(Init(good), 0u);
    EXPECT_FALSE(Has("A"));
    CloseXml(0);

    // A parse failure: 100 and nothing loaded; later calls do not parse again.
    ASSERT_EQ(Init(dir.write("broken.xml", WildcardDefinitions("<nic type='X'>"))), 100u);
    EXPECT_FALSE(Has("X"));
    EXPECT_EQ(Init(good), 0u);
    EXPECT_FALSE(Has("A"));
}

TEST_F(Lifecycle, CloseBeforeInitStillClosesTheInterfaceLibrary) {
    CloseXml(1);
    CloseXml(2);
    EXPECT_EQ(Nic().calls(), (std::vector<std::string>{"NicIfClose(1)", "NicIfClose(2)"}));
}

TEST_F(Lifecycle, FileNamesNeedNoEscaping) {
    for (const char *name : {"with space.xml", "per%cent.xml", "hash#.xml", "\xc3\xa9t\xc3\xa9.xml"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Init(dir.write(name, WildcardDefinitions(kGoodLinks + "</definitions>"))), 0u);
        EXPECT_TRUE(Has("A"));
        CloseXml(0);
    }
}

TEST_F(Lifecycle, DataEndsAtCtrlZForTheChecksumAndTheParserAlike) {
    // CR LF line ends and a Ctrl-Z after the document, as DOS editors leave
    // them: the checksum is summed over the text as a text-mode read
    // delivers it, and the parser reads the same text.
    const std::string body = "\n" + kGoodLinks + "\n</definitions>\n";
    std::string crlf;
    for (char c : body) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string tag = "<definitions csum='" + testing_support::ChecksumOf(body) + "'>";
    const std::string dos = dir.write("dos.xml", tag + crlf + "\x1a" + "<after the end of the data");
    EXPECT_EQ(Init(dos), 0u);
    EXPECT_TRUE(Has("A"));
    CloseXml(0);
    // A Ctrl-Z inside the document cuts it short.
    const std::string cut = dir.write("cut.xml", WildcardDefinitions(kGoodLinks + "\x1a</definitions>"));
    EXPECT_EQ(Init(cut), 100u);
    // Loading without the checksum (as lxnicdefs does) reads the same data.
    DefinitionsCatalog catalog;
    EXPECT_EQ(LoadDefinitionsInto(DualString::fromUtf8(dos), catalog, nullptr), 0u);
    EXPECT_NE(catalog.slot(0), nullptr);
    DefinitionsCatalog other;
    EXPECT_EQ(LoadDefinitionsInto(DualString::fromUtf8(cut), other, nullptr), 100u);
}
