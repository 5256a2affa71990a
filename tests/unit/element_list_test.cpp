#include <gtest/gtest.h>

#include <xercesc/sax/SAXParseException.hpp>

#include "definitions/xml_parser.h"

using namespace lxniccfg;

namespace {

// The XML library stays initialised while a test runs: its exceptions carry
// memory of the library and must be destroyed before it shuts down.
ElementList Parse(const std::string &xml) {
    static XmlLibrarySession session;
    ElementList elements;
    ParseXmlBuffer(xml.data(), xml.size(), elements);
    return elements;
}

// "name[attr=value,...](value)" per element, for comparing whole lists.
std::vector<std::string> Describe(const ElementList &elements) {
    std::vector<std::string> out;
    for (const XmlElement &e : elements) {
        std::string text = e.name.narrowText();
        if (e.attributeCount()) {
            text += "[";
            for (int i = 0; i < e.attributeCount(); ++i)
                text += (i ? "," : "") + e.attributes[i].name.narrowText() + "=" +
                        e.attributes[i].value.narrowText();
            text += "]";
        }
        if (!e.value.isNone()) text += "(" + e.value.narrowText() + ")";
        out.push_back(text);
    }
    return out;
}

}  // namespace

TEST(ElementList, NestedAndFlatDocumentsGiveTheSameList) {
    const std::vector<std::string> expected = {"r", "nic[type=A,derived=B]", "panel[name=settings]",
                                               "panelitem(Speed)", "property[id=Speed,linkid=5]"};
    EXPECT_EQ(Describe(Parse(R"(<r><nic type="A" derived="B"><panel name="settings">)"
                             R"(<panelitem>Speed</panelitem></panel>)"
                             R"(<property id="Speed" linkid="5"></property></nic></r>)")),
              expected);
    EXPECT_EQ(Describe(Parse(R"(<r><nic type="A" derived="B"/><panel name="settings"/>)"
                             R"(<panelitem>Speed</panelitem><property id="Speed" linkid="5"/></r>)")),
              expected);
}

TEST(ElementList, PanelItemTextIsTakenAsDelivered) {
    ElementList list = Parse("<r><panelitem/>\n  <panelitem> A&amp;B </panelitem><other>text</other></r>");
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list[1].value.narrowText(), "\n  ");  // empty tag: the following white space
    EXPECT_EQ(list[2].value.narrowText(), " A");    // the first piece the parser delivers
    EXPECT_TRUE(list[3].value.isNone());            // only panelitem keeps text
}

TEST(ElementList, SingleRootIsAppendedAtTheEnd) {
    EXPECT_EQ(Describe(Parse("<only a='1'/>")), std::vector<std::string>{"only[a=1]"});
}

TEST(ElementList, AnyParserDiagnosticEndsTheParse) {
    for (const char *bad : {"<r><a></r>", "<r>", "<r a='1' a='2'/>", "text", "<r/><s/>",
                            "<r>\x01</r>", "<?xml version='1.0' encoding='nonsense'?><r/>"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(Parse(bad), xercesc::SAXParseException);
    }
}
