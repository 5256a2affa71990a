#include <gtest/gtest.h>

#include "definitions/catalog.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "support/test_files.h"

using namespace lxniccfg;
using testing_support::TempDir;

namespace {

// Parses a document given as text and builds it into a fresh catalog.
class Built {
public:
    explicit Built(const std::string &xml) {
        XmlLibrarySession session;
        ElementList elements;
        ParseXmlBuffer(xml.data(), xml.size(), elements);
        BuildDefinitions(elements, catalog);
    }
    const NicDefinition &at(int i) const { return *catalog.slot(i); }
    DefinitionsCatalog catalog;
};

}  // namespace

TEST(BuildDefinitions, BuildsPanelsPropertiesAndIndex) {
    Built b(R"(<r><nic type="A"><panel name="settings"><panelitem>X</panelitem></panel>
              <property id="X" linkid="5"/></nic></r>)");
    ASSERT_NE(b.catalog.slot(0), nullptr);
    EXPECT_EQ(b.catalog.slot(1), nullptr);
    const NicDefinition &d = b.at(0);
    EXPECT_EQ(d.type.narrowText(), "A");
    const Panel *settings = d.panel(PanelSlot::Settings);
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(settings->items.count(), 1);
    EXPECT_EQ(settings->items[0].value.narrowText(), "X");
    EXPECT_EQ(d.properties.count(), 1);
    EXPECT_EQ(FindPropertyIndex(d.index, DualString(u"X")), 0);
}
