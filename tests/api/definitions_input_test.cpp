// Malformed and hostile definitions files: every one gives a result code,
// none crashes, hangs or reaches outside the file.
#include <gtest/gtest.h>

#include <cerrno>
#ifndef _WIN32
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/test_files.h"

using testing_support::TempDir;
using testing_support::W;
using testing_support::WildcardDefinitions;

namespace {

class DefinitionsInput : public ::testing::Test {
protected:
    void SetUp() override { nicif_double::Nic().reset(); }
    void TearDown() override { CloseXml(0); }

    uint32_t Load(const std::string &bytes) {
        CloseXml(0);
        return InitXml(W(dir.write("defs.xml", bytes)).c_str());
    }

    TempDir dir;
};

// The checksum sits in a processing instruction of the internal subset, so
// that a document type declaration can come first.
std::string WithDoctype(const std::string &subset, const std::string &body,
                        const std::string &externalId = "") {
    return "<!DOCTYPE d " + externalId + " [<?c csum='112233-224466'?>" + subset + "]>" + body;
}

}  // namespace

TEST_F(DefinitionsInput, MalformedFilesAreRejected) {
    const std::string nic = "<nic type='A'><property id='P' linkid='1'/></nic>";
    struct Case { const char *what; std::string file; uint32_t result; };
    const Case cases[] = {
        {"well-formed", WildcardDefinitions(nic + "</definitions>"), 0},
        {"mismatched end tag", WildcardDefinitions(nic + "</other>"), 100},
        {"cut off mid-tag", WildcardDefinitions("<nic type='A'><proper"), 100},
        {"cut off in an attribute", WildcardDefinitions("<nic type='A"), 100},
        {"binary bytes", WildcardDefinitions(std::string("<nic>\x00\x01\xff\xfe\x80</nic>", 14)), 100},
        {"invalid UTF-8", WildcardDefinitions("<nic type='\xc3\x28'/></definitions>"), 100},
        {"first tag without '>'", "<definitions csum='112233-224466'", 100},
        {"only a first tag", "<definitions csum='112233-224466'>", 100},
        {"two roots", WildcardDefinitions("</definitions><again/>"), 100},
        {"undeclared entity", WildcardDefinitions("<nic type='&nope;'/></definitions>"), 100},
        {"Ctrl-Z inside the document", WildcardDefinitions("<nic type='A'/>\x1a</definitions>"), 100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Load(c.file), c.result);
    }
}

TEST_F(DefinitionsInput, HugeInputsAreHandled) {
    const std::string end = "</definitions>";
    // A single 100 MB line of text content.
    std::string line = WildcardDefinitions("<nic type='A'><panel name='settings'/><panelitem>");
    line.append(100u << 20, 'x');
    EXPECT_EQ(Load(line + "</panelitem></nic>" + end), 0u);
    line.clear();
    line.shrink_to_fit();

    // A huge attribute value.
    std::string attribute = WildcardDefinitions("<nic type='A'><property id='P' linkid='1' hint='");
    attribute.append(32u << 20, 'h');
    EXPECT_EQ(Load(attribute + "'/></nic>" + end), 0u);

    // Very deep nesting, closed and cut off.
    std::string deep = WildcardDefinitions("");
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    EXPECT_EQ(Load(deep), 100u);
    for (int i = 0; i < 100000; ++i) deep += "</a>";
    EXPECT_EQ(Load(deep + end), 0u);
}

TEST_F(DefinitionsInput, EntityExpansionIsBounded) {
    std::string laughs = "<!ENTITY l0 'lol'>";
    for (int i = 1; i < 10; ++i) {
        std::string previous = "&l" + std::to_string(i - 1) + ";";
        std::string ten;
        for (int k = 0; k < 10; ++k) ten += previous;
        laughs += "<!ENTITY l" + std::to_string(i) + " '" + ten + "'>";
    }
    EXPECT_EQ(Load(WithDoctype(laughs, "<d><nic type='&l9;'/></d>")), 100u);
    EXPECT_EQ(Load(WithDoctype(laughs, "<d>&l9;</d>")), 100u);
    // A few internal entities are fine.
    EXPECT_EQ(Load(WithDoctype("<!ENTITY t 'A'>", "<d><nic type='&t;'/></d>")), 0u);
}

TEST_F(DefinitionsInput, NothingOutsideTheFileIsOpened) {
    std::string dtd = dir.write("outside.dtd", "<!ENTITY ext 'from outside'>");
    std::string text = dir.write("outside.txt", "from outside");
#ifdef _WIN32
    // The result codes are those of Linux; that nothing is opened or
    // connected to is watched there.
    std::string url = "http://127.0.0.1:9/x.dtd";
#else
    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dtd.c_str(), IN_OPEN | IN_ACCESS), 0);
    ASSERT_GE(inotify_add_watch(watch, text.c_str(), IN_OPEN | IN_ACCESS), 0);

    // A listening socket on loopback: nothing may connect to it.
    int server = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ASSERT_GE(server, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(server, 4), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(getsockname(server, reinterpret_cast<sockaddr *>(&address), &length), 0);
    std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x.dtd";
#endif

    // A document that names an external DTD or uses an external entity is
    // rejected without it being read.
    EXPECT_EQ(Load(WithDoctype("", "<d/>", "SYSTEM '" + dtd + "'")), 100u);
    EXPECT_EQ(Load(WithDoctype("", "<d/>", "SYSTEM 'outside.dtd'")), 100u);
    EXPECT_EQ(Load(WithDoctype("", "<d/>", "PUBLIC 'id' '" + url + "'")), 100u);
    EXPECT_EQ(Load(WithDoctype("", "<d>&ext;</d>", "SYSTEM '" + dtd + "'")), 100u);
    EXPECT_EQ(Load(WithDoctype("<!ENTITY ext SYSTEM '" + text + "'>", "<d>&ext;</d>")), 100u);
    EXPECT_EQ(Load(WithDoctype("<!ENTITY ext SYSTEM 'file://" + text + "'>", "<d>&ext;</d>")), 100u);
    EXPECT_EQ(Load(WithDoctype("<!ENTITY ext SYSTEM '" + url + "'>", "<d>&ext;</d>")), 100u);
    EXPECT_EQ(Load(WithDoctype("<!ENTITY % p SYSTEM '" + dtd + "'> %p;", "<d/>")), 100u);
    EXPECT_EQ(Load(WithDoctype("<!ENTITY % p SYSTEM '" + url + "'> %p;", "<d/>")), 100u);

#ifndef _WIN32
    char events[4096];
    errno = 0;
    EXPECT_EQ(read(watch, events, sizeof events), -1) << "a file outside the document was opened";
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(accept(server, nullptr, nullptr), -1) << "the parser connected to the network";
    close(watch);
    close(server);
#endif
}
