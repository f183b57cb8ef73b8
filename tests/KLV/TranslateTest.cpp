#include "KLV/Translate.h"

#include "TempFolder.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using trv::test::WriteFileBytes;

// A program folder of its own with an English and a Spanish dictionary.
class TranslateTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        WriteFileBytes(languages_ / "DIC.INI", "[Selected]\nLanguage=2\n"
                                               "[Languages]\n1=ENG\n2=ESP\n3=XXX\n"
                                               "[Descriptions]\n1=English\n2=Español\n4=Nowhere\n");
        WriteFileBytes(
            languages_ / "English" / "Trevantor.eng",
            "[Strings]\nOpen=Open\nOrders=Orders\nCustomers=Customers\nOnlyEnglish=Only\n");
        WriteFileBytes(languages_ / "Español" / "Trevantor.ESP",
                       "[Strings]\n"
                       "Open=Abrir\n"
                       "Orders=Pedidos\n"
                       "Orders=Duplicate ignored\n"
                       "Customers=Clientes\n"
                       "Km/h=Km/hora\n"
                       "OrdersCaption=#TRANSLATE(Orders)# (#\xC2\xBF#UNIT(WEIGHT,Kg)#?#)\n"
                       "CustomersCaption=Clientes #TRANSDIFF(Customers)#\n"
                       "OrdersNote=Pedidos #TRANSDIFF(Orders)#\n"
                       "Loop=x #TRANSLATE(Loop)#\n"
                       "Lines=one\\ntwo\\tthree\n"
                       "Quoted=\" spaced \"\n"
                       "FormatNotFound=Falta %s en la sección %s de %s\n"
                       "OrderCount=%d pedidos, %.1f kg\n"
                       "ID_FILE_OPEN=Abrir plan\\nAbre un plan guardado\n");
        // A second file of the same language, written by the Windows program.
        WriteFileBytes(languages_ / "Español" / "Extra.esp", "[Strings]\nYear=A\xF1o\nAsk=\xBF"
                                                             "Seguro?\n");
        WriteFileBytes(languages_ / "resource.hm", "#define ID_FILE_OPEN 0xE101 // open a plan\n"
                                                   "#define ID_PLAY        32781\n");
        trv::ClearProfileCache();
        trv::ResetDictionary();
        EnableAcceleratorStripping();
    }

    void TearDown() override
    {
        trv::ResetDictionary();
        trv::ClearProfileCache();
    }

    trv::test::ProgramFolder root_{"trv_translate"};
    const fs::path languages_ = root_.Path() / "Languages";
};

} // namespace

TEST_F(TranslateTest, KeysMarkersAndAccelerators)
{
    struct Case
    {
        const char* key;
        const char* text;
    };
    const Case cases[] = {
        {"", ""},
        {"Open", "Abrir"},
        {"&Open...", "Abrir..."},
        {"  Orders:", "  Pedidos:"},
        {"Missing key!", "Missing key!"},
        {"&Save", "Save"},
        {"Save && Exit", "Save && Exit"},
        {"...", "..."},
        {"Speed (#\xC2\xBF#UNIT(SPEED,Km/h)#?#)", "Speed (Km/hora)"},
        {"Total #TRANSLATE(Orders)#", "Total Pedidos"},
        {"OrdersCaption", "Pedidos (Kg)"},
        {"Lines", "one\ntwo\tthree"},
        {"Quoted", " spaced "},
        {"Year", "Año"},
        {"Ask", "¿Seguro?"},
        {"OnlyEnglish", "OnlyEnglish"},
    };
    for (const Case& item : cases)
        EXPECT_EQ(Translate(item.key), item.text) << item.key;

    SetUnitName("SPEED", "mph");
    EXPECT_EQ(Translate("Speed (#\xC2\xBF#UNIT(SPEED,Km/h)#?#)"), "Speed (mph)");
    SetUnitNames("", "t", "", "", "", "", "", "", "", "");
    EXPECT_EQ(Translate("Speed (#\xC2\xBF#UNIT(SPEED)#?#)"), "Speed (SPEED)");
    EXPECT_EQ(Translate("OrdersCaption"), "Pedidos (t)");
    // A text that leads back to itself ends instead of recursing forever.
    EXPECT_EQ(Translate("Loop").substr(0, 2), "x ");
}

TEST_F(TranslateTest, AcceleratorsStayUntilStrippingIsEnabled)
{
    trv::ResetDictionary();
    EXPECT_EQ(Translate("&Open..."), "&Abrir...");
    EnableAcceleratorStripping();
    const std::pair<const char*, const char*> cases[] = {
        {"&Save", "Save"}, {"Save && Exit", "Save && Exit"},
        {"a&&", "a&"},     {"&&x&y", "&&xy"},
        {"&", ""},         {"", ""},
    };
    for (const auto& [text, stripped] : cases) {
        std::string value = text;
        StripMenuAccelerators(value);
        EXPECT_EQ(value, stripped) << text;
    }
}

TEST_F(TranslateTest, OverridesFeedTheDifferenceMarker)
{
    EXPECT_EQ(Translate("CustomersCaption"), "Clientes");
    WriteFileBytes(root_.Path() / "Params.ini",
                   "[Captions 2]\nCustomers=Tiendas\nOrders=\nNewKey=Nuevo\n");
    OverrideTranslations(root_.File("Params.ini"), "Captions 2");
    EXPECT_EQ(Translate("Customers"), "Tiendas");
    EXPECT_EQ(Translate("CustomersCaption"), "Clientes (Tiendas)");
    EXPECT_EQ(GetReplacedTranslation("Customers"), "Clientes");
    // An empty override keeps the text but records it: the note compares it with itself.
    EXPECT_EQ(Translate("Orders"), "Pedidos");
    EXPECT_EQ(Translate("OrdersNote"), "Pedidos");
    EXPECT_EQ(Translate("NewKey"), "Nuevo");
    EXPECT_EQ(GetReplacedTranslation("NewKey"), "Nuevo");
    SetTranslation("Customers", "Comercios");
    EXPECT_EQ(Translate("CustomersCaption"), "Clientes (Comercios)");
}

TEST_F(TranslateTest, ResourceSymbolsAreStoredUnderTheirIds)
{
    EXPECT_EQ(Translate("ID_FILE_OPEN"), "ID_FILE_OPEN");
    EXPECT_EQ(TranslateResourcePrompt(57601), "Abrir plan");
    EXPECT_EQ(TranslateResourceString(57601), "Abre un plan guardado");
    std::string tip;
    EXPECT_TRUE(TranslateToolTip(57601, tip));
    EXPECT_EQ(tip, "Abre un plan guardado");
    EXPECT_EQ(TranslateResourcePrompt(1), "");
    EXPECT_FALSE(TranslateToolTip(1, tip));
    EXPECT_EQ(GetFirstLine("a\nb\nc"), "a");
    EXPECT_EQ(GetSecondLine("a\nb\nc"), "b");
    EXPECT_EQ(GetSecondLine("a\nb"), "b");
    EXPECT_EQ(GetSecondLine("a"), "");
}

TEST_F(TranslateTest, FormatsCheckTheirArguments)
{
    EXPECT_EQ(TranslateFormat("FormatNotFound", "TYPE", "ORDERS_FORMAT", "Data.ini"),
              "Falta TYPE en la sección ORDERS_FORMAT de Data.ini");
    EXPECT_EQ(TranslateFormat("OrderCount", 3, 12.25), "3 pedidos, 12.2 kg");
    EXPECT_EQ(TranslateFormat("OrderCount", 3u, 4), "3 pedidos, 4.0 kg");
    // A dictionary text that does not fit the arguments gives nothing, never a crash.
    EXPECT_EQ(TranslateFormat("OrderCount", "three", 1.0), "");
    EXPECT_EQ(TranslateFormat("OrderCount", 3), "");
    EXPECT_EQ(TranslateFormat("FormatNotFound", 1, 2, 3), "");
    EXPECT_EQ(TranslateFormat("100%% of %5s|%-3d|%03x|%*d", "ab", 7, 255u, 4, 9),
              "100% of    ab|7  |0ff|   9");
    EXPECT_EQ(TranslateFormat("%n"), "");
}

TEST_F(TranslateTest, LanguagesSwitchAndReload)
{
    EXPECT_EQ(GetSelectedLanguageId(), 2);
    std::vector<std::string> descriptions;
    EXPECT_EQ(GetLanguageDescriptions(descriptions), "Español");
    EXPECT_EQ(descriptions, (std::vector<std::string>{"English", "Español", "Nowhere"}));
    EXPECT_EQ(GetLanguageFromDescription("English"), "1");
    EXPECT_EQ(GetLanguageFromDescription("english"), "");

    EXPECT_EQ(Translate("Open"), "Abrir");
    EXPECT_TRUE(SelectLanguage(true, "1"));
    EXPECT_EQ(Translate("Open"), "Open");
    EXPECT_EQ(Translate("OnlyEnglish"), "Only");
    EXPECT_EQ(trv::GetProfileString("Selected", "Language", "", (languages_ / "DIC.INI").string()),
              "1");
    EXPECT_EQ(GetSelectedLanguageId(), 1);

    // Selecting the same language again reads the files again.
    WriteFileBytes(languages_ / "English" / "Trevantor.eng", "[Strings]\nOpen=Open file\n");
    EXPECT_TRUE(SelectLanguage(true, "1"));
    EXPECT_EQ(Translate("Open"), "Open file");

    // Not stored: this session only.
    EXPECT_TRUE(SelectLanguage(false, "2"));
    EXPECT_EQ(Translate("Open"), "Abrir");
    EXPECT_EQ(GetSelectedLanguageId(), 1);
}

TEST_F(TranslateTest, MissingCatalogueOrFiles)
{
    // A language without an extension fails and traces; one without files loads nothing.
    EXPECT_FALSE(SelectLanguage(false, "4"));
    EXPECT_TRUE(SelectLanguage(false, "3"));

    fs::remove(languages_ / "DIC.INI");
    trv::ClearProfileCache();
    trv::ResetDictionary();
    const fs::path current = fs::current_path();
    fs::current_path(root_.Path()); // no catalogue in "./" either
    EXPECT_FALSE(LoadDictionary(true));
    EXPECT_EQ(Translate("Open"), "Open");
    std::string folder, language, description;
    EXPECT_FALSE(GetLanguageSettings(folder, language, description));
    EXPECT_EQ(folder, "./");
    fs::current_path(current);
}

TEST_F(TranslateTest, LargeDictionaryLoads)
{
    std::string content = "[Strings]\n";
    for (int index = 0; index < 6000; ++index)
        content += "GeneratedKey" + std::to_string(index) + "=Generated text number " +
                   std::to_string(index) + " with a little padding\n";
    content += "LongText=" + std::string(40000, 'x') + "\n";
    ASSERT_GT(content.size(), 200000u);
    WriteFileBytes(languages_ / "Español" / "Big.esp", content);
    EXPECT_TRUE(LoadDictionary(true));
    EXPECT_EQ(Translate("GeneratedKey0"), "Generated text number 0 with a little padding");
    EXPECT_EQ(Translate("GeneratedKey5999"), "Generated text number 5999 with a little padding");
    EXPECT_EQ(Translate("LongText").size(), 40000u);
    EXPECT_EQ(Translate("Open"), "Abrir");
}

TEST(TranslateBundled, ShippedDictionariesLoad)
{
    // The program folder the build fills from res/.
    ::setenv("TREVANTOR_HOME", TRV_PROGRAM_DIR, 1);
    trv::ClearProfileCache();
    trv::ResetDictionary();
    std::string folder, language, description;
    ASSERT_TRUE(GetLanguageSettings(folder, language, description));
    EXPECT_TRUE(LoadDictionary(true));
    EXPECT_EQ(Translate("ButtonOK"), "OK");
    EXPECT_TRUE(SelectLanguage(false, "2"));
    EXPECT_EQ(Translate("ButtonCancel"), "Cancelar");
    EXPECT_NE(TranslateFormat("FormatNotFound", "TYPE", "X_FORMAT", "Data.ini"), "");
    trv::ResetDictionary();
}
