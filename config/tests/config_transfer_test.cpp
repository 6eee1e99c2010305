#include <ce/testing/temp_device.h>

#include <config/config_export.h>
#include <config/config_import.h>
#include <config/configuration_actions.h>

#include <sstream>

namespace {

using namespace std::string_literals;

const std::u16string Settings = u"SOFTWARE\\Tolmar_Vireta\\";
const std::u16string Start = u"Security\\Shell\\StartInfo\\Start\\";

class ConfigTransferTest : public TempDevice {
protected:
  std::string exported(std::u16string_view path, bool withBinary) {
    std::ostringstream out;
    EXPECT_TRUE(exportKey(HKEY_LOCAL_MACHINE, out, path, withBinary));
    return out.str();
  }
  // Imports `text`, answering the start-menu question from `answers` in turn.
  bool import(const std::string &text, std::vector<bool> answers = {}) {
    std::istringstream in(text);
    asked_ = 0;
    return importConfig(in, u"", [&](std::u16string_view question, std::u16string_view title) {
      EXPECT_EQ(question, LoadStartMenuQuestion);
      EXPECT_EQ(title, u"Load Saved StartMenu?");
      const bool answer = asked_ < answers.size() && answers[asked_];
      ++asked_;
      return answer;
    });
  }
  std::size_t asked_ = 0;
};

TEST_F(ConfigTransferTest, ExportWritesSectionsDepthFirst) {
  setDword(Settings, u"textColor", 0x00FFFFFF);
  setString(Settings, u"textFont", u"Tahoma");
  setDword(Settings, u"nbIconPerLine", 4);
  setDword(Settings, u"zero", 0);
  setBinary(Settings, u"blob", {0x0A, 0xFF});
  setValue(Settings, u"folderToOpen", REG_NONE, u"ab", 4);
  setString(Settings, u"quoted", u"say \"hi\" \\ back");
  setBinary(Settings + u"QuickLinks\\"s, u"inner", {1, 2});
  setString(Settings + u"QuickLinks\\"s, u"quickList", u"\\windows\\calc.lnk");
  setString(Settings + u"QuickLinks\\Deeper\\"s, u"x", u"y");
  setString(Settings + u"Other\\"s, u"z", u"");

  EXPECT_EQ(exported(Settings, true),
            "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolmar_Vireta\\]\n"
            "\"textColor\"=dword:ffffff\n"
            "\"textFont\"=\"Tahoma\"\n"
            "\"nbIconPerLine\"=dword:4\n"
            "\"zero\"=dword:0\n"
            "\"blob\"=hex:a,ff,00\n"
            "\"quoted\"=\"say \"hi\" \\ back\"\n"
            "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolmar_Vireta\\QuickLinks\\]\n"
            "\"quickList\"=\"\\windows\\calc.lnk\"\n"
            "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolmar_Vireta\\QuickLinks\\Deeper\\]\n"
            "\"x\"=\"y\"\n"
            "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolmar_Vireta\\Other\\]\n"
            "\"z\"=\"\"\n");
  // Without the flag the key's own binary values stay out too.
  EXPECT_EQ(exported(Settings, false).find("blob"), std::string::npos);
  // A key that does not exist gives its key line only.
  EXPECT_EQ(exported(u"SOFTWARE\\Nothing\\", true),
            "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing\\]\n");
}

TEST_F(ConfigTransferTest, ExportKeepsLongValuesAndTheValuesAfterThem) {
  const std::u16string path(200, u'p');
  setString(Settings, u"BackImage", path);                    // 400 bytes
  setBinary(Settings, u"huge", std::vector<BYTE>(600, 0x11)); // does not fit at all
  setString(Settings, u"withZero", u"cut\0here"s);            // text ends at its zero
  setDword(Settings, u"after", 7);
  const auto text = exported(Settings, true);
  EXPECT_NE(text.find("\"BackImage\"=\"" + std::string(200, 'p') + "\"\n"), std::string::npos);
  EXPECT_EQ(text.find("huge"), std::string::npos);
  EXPECT_NE(text.find("\"withZero\"=\"cut\"\n"), std::string::npos);
  EXPECT_NE(text.find("\"after\"=dword:7\n"), std::string::npos);
}

TEST_F(ConfigTransferTest, ExportedSettingsLoadBack) {
  setDword(Settings, u"textColor", 0x00FFFFFF);
  setString(Settings, u"textFont", u"Ta\"ho\"ma");
  setBinary(Settings, u"blob", {0x0A, 0xFF});
  setBinary(Settings, u"empty", {});
  setString(Settings, u"LANG_SAVE", u"Sauvegard\u00e9 \u20ac \U0001F600");
  const auto text = exported(Settings, true);
  // Characters outside ASCII travel as UTF-8.
  EXPECT_NE(text.find("Sauvegard\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), std::string::npos);

  HKEY root = createKey(u"SOFTWARE");
  ASSERT_EQ(RegDeleteKeyW(root, u"Tolmar_Vireta"), ERROR_SUCCESS);
  RegCloseKey(root);
  EXPECT_TRUE(import(std::string(ConfigFileHeader) + "\n" + text));
  EXPECT_EQ(asked_, 0u);
  EXPECT_EQ(query(Settings, u"textColor")->number(), 0x00FFFFFFu);
  EXPECT_EQ(query(Settings, u"textColor")->type, REG_DWORD);
  EXPECT_EQ(query(Settings, u"textFont")->text(), u"Ta\"ho\"ma");
  EXPECT_EQ(query(Settings, u"blob")->data, (std::vector<BYTE>{0x0A, 0xFF}));
  EXPECT_EQ(query(Settings, u"blob")->type, REG_BINARY);
  EXPECT_TRUE(query(Settings, u"empty")->data.empty());
  const auto save = query(Settings, u"lang_save");
  EXPECT_EQ(save->text(), u"Sauvegard\u00e9 \u20ac \U0001F600");
  EXPECT_EQ(save->data.size(), save->text().size() * 2); // no terminating zero
  // Values created by the import carry lower-case names.
  EXPECT_EQ(valueNames(Settings), (std::vector<std::u16string>{u"textcolor", u"textfont", u"blob",
                                                               u"empty", u"lang_save"}));
}

TEST_F(ConfigTransferTest, ImportReadsNumbersBytesAndTextsLeniently) {
  EXPECT_TRUE(import("Windows Registry Editor Version 5.00\r\n"
                     "\r\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolmar_Vireta]\r\n"
                     "\"a\"=hex:01,02,03\r\n"    // the token after the last comma is dropped
                     "\"b\"=hex:1ff, 2 ,zz,\r\n" // low byte, blanks, no digits
                     "\"c\"=dword:0000FFFF\r\n"
                     "\"d\"=dword:123456789\r\n" // too large
                     "\"e\"=dword:\r\n"
                     "\"f\"=\"crlf text\"\r\n"
                     "\"g\"=\"" +
                     std::string(300, 'x') +
                     "\"\r\n"
                     "\"h\"=hex:" +
                     [] {
                       std::string s;
                       for (int i = 0; i < 300; ++i)
                         s += "7,";
                       return s;
                     }() +
                     "00\n"
                     "\"i\"=\"" +
                     std::string(258, 'y') +
                     "\xF0\x9F\x98\x80\"\n"
                     "\"j\"=\"caf\xE9\"\n"  // not UTF-8: the device's code page
                     "\"last\"=dword:2a")); // no final line feed
  EXPECT_EQ(query(Settings, u"a")->data, (std::vector<BYTE>{1, 2}));
  EXPECT_EQ(query(Settings, u"b")->data, (std::vector<BYTE>{0xFF, 2, 0}));
  EXPECT_EQ(query(Settings, u"c")->number(), 0xFFFFu);
  EXPECT_EQ(query(Settings, u"d")->number(), 0xFFFFFFFFu);
  EXPECT_EQ(query(Settings, u"e")->number(), 0u);
  // The carriage return is not part of the text.
  EXPECT_EQ(query(Settings, u"f")->text(), u"crlf text");
  // Texts and binary data are cut to 259 (never splitting a surrogate pair).
  EXPECT_EQ(query(Settings, u"g")->text(), std::u16string(259, u'x'));
  EXPECT_EQ(query(Settings, u"h")->data, std::vector<BYTE>(259, 7));
  EXPECT_EQ(query(Settings, u"i")->text(), std::u16string(258, u'y'));
  EXPECT_EQ(query(Settings, u"j")->text(), u"caf\u00e9");
  EXPECT_EQ(query(Settings, u"last")->number(), 42u);
}

TEST_F(ConfigTransferTest, ImportAsksForEveryStartMenuSection) {
  for (auto item : {u"a.lnk", u"b.lnk", u"c.lnk"}) {
    const std::u16string key = Start + std::u16string(item);
    setString(key, u"name", u"old");
    setDword(key, u"ItemPosition", 1);
    setString(key, u"Icon", u"\\old.png");
  }
  std::string file = "Windows Registry Editor Version 5.00\n";
  for (auto item : {"a.lnk", "b.lnk", "c.lnk"}) {
    file += "\n[HKEY_LOCAL_MACHINE\\Security\\Shell\\StartInfo\\Start\\"s + item + "\\]\n" +
            "\"name\"=\"new\"\n\"ItemPosition\"=dword:9\n\"Icon\"=\"\\new.png\"\n"
            "\"hidden\"=dword:1\n\"blob\"=hex:1,00\n";
  }
  EXPECT_TRUE(import(file, {true, false, true}));
  EXPECT_EQ(asked_, 3u);
  for (auto item : {u"a.lnk", u"c.lnk"}) {
    const std::u16string key = Start + std::u16string(item);
    EXPECT_EQ(query(key, u"name")->text(), u"new");
    EXPECT_EQ(query(key, u"itemposition")->number(), 9u);
    // Only the name and the position come back in the start-menu tree.
    EXPECT_EQ(query(key, u"Icon")->text(), u"\\old.png");
    EXPECT_FALSE(query(key, u"hidden"));
    EXPECT_FALSE(query(key, u"blob"));
  }
  EXPECT_EQ(query(Start + u"b.lnk"s, u"name")->text(), u"old");
  EXPECT_EQ(query(Start + u"b.lnk"s, u"ItemPosition")->number(), 1u);

  // Without anyone to ask, start-menu sections are declined; their keys are still created.
  std::istringstream in("[HKEY_LOCAL_MACHINE\\Security\\Shell\\StartInfo\\Start\\d.lnk]\n"
                        "\"name\"=\"d\"\n");
  EXPECT_TRUE(importConfig(in, u"", nullptr));
  EXPECT_TRUE(valueNames(Start + u"d.lnk"s).empty());
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (Start + u"d.lnk"s).c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(ConfigTransferTest, ImportIgnoresValuesWithoutAUsableKey) {
  EXPECT_TRUE(import("\"before\"=dword:1\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T1]\n\"ok\"=dword:1\n"
                     "[HKEY_LOCAL_MACHINE]\n\"nokey\"=dword:1\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T2\n\"unclosed\"=dword:1\n"
                     "[HKEY_LOCAL_MACHINE\\]\n\"empty\"=dword:1\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T3]\n\"=dword:5\nnot a value\n"));
  EXPECT_EQ(valueNames(u"SOFTWARE\\T1"), std::vector<std::u16string>{u"ok"});
  EXPECT_TRUE(valueNames(u"SOFTWARE").empty());
  EXPECT_FALSE(query(u"SOFTWARE\\T2", u"unclosed"));
  // A line starting with `"=` names the key's default (unnamed) value.
  EXPECT_EQ(query(u"SOFTWARE\\T3", u"")->number(), 5u);

  // A key that cannot be created ends the import; what came before stays.
  // (a component of 256 characters is beyond what a key name may hold).
  const std::string tooLong(256, 'k');
  EXPECT_FALSE(import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\T4]\n\"kept\"=dword:1\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + tooLong + "]\n\"x\"=dword:1\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T5]\n\"never\"=dword:1\n"));
  EXPECT_EQ(query(u"SOFTWARE\\T4", u"kept")->number(), 1u);
  EXPECT_FALSE(query(u"SOFTWARE\\T5", u"never"));
}

TEST_F(ConfigTransferTest, SaveConfigurationReplacesTheFileInTheFolder) {
  setDword(Settings, u"widthIcon", 80);
  setBinary(Settings, u"bin", {1});
  setString(Start + u"Games\\"s, u"name", u"Games");
  setBinary(Start + u"Games\\"s, u"bin", {2});
  put("My Documents/viretaCfg.reg", "old content that is longer than the new one ... ... ...");
  const auto path = saveConfiguration(u"\\My Documents");
  EXPECT_EQ(path, u"\\My Documents\\viretaCfg.reg");
  EXPECT_EQ(hostRead("My Documents/viretaCfg.reg"),
            "Windows Registry Editor Version 5.00\n"
            "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolmar_Vireta\\]\n"
            "\"widthIcon\"=dword:50\n\"bin\"=hex:1,00\n"
            "\n[HKEY_LOCAL_MACHINE\\Security\\Shell\\StartInfo\\Start\\]\n"
            "\n[HKEY_LOCAL_MACHINE\\Security\\Shell\\StartInfo\\Start\\Games\\]\n"
            "\"name\"=\"Games\"\n");
  EXPECT_EQ(saveConfiguration(u""), u"\\viretaCfg.reg");
  EXPECT_TRUE(hostExists("viretaCfg.reg"));
  EXPECT_EQ(saveConfiguration(u"\\"), u"\\viretaCfg.reg");
  // A folder that does not exist gives no file and says so.
  EXPECT_EQ(saveConfiguration(u"\\Missing"), u"");
}

TEST_F(ConfigTransferTest, LoadConfigurationBacksUpUnderTheFirstFreeName) {
  const std::u16string base = u"\\Program Files\\Vireta\\";
  put("Program Files/Vireta/saveOldStart.reg", "x");
  put("Program Files/Vireta/saveOldStart0.reg", "x");
  EXPECT_EQ(backupFileName(base), u"\\Program Files\\Vireta\\saveOldStart1.reg");
  EXPECT_EQ(backupFileName(u"\\Program Files\\Vireta"), backupFileName(base));

  setString(Start + u"a.lnk\\"s, u"name", u"before");
  setDword(Settings, u"textSize", 7);
  put("cfg.reg", "Windows Registry Editor Version 5.00\n"
                 "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolmar_Vireta\\]\n\"textSize\"=dword:c\n"
                 "\n[HKEY_LOCAL_MACHINE\\Security\\Shell\\StartInfo\\Start\\a.lnk\\]\n"
                 "\"name\"=\"after\"\n");
  int asked = 0;
  const auto result = loadConfiguration(base, u"\\cfg.reg", [&](auto, auto) {
    ++asked;
    return true;
  });
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(result.backupPath, u"\\Program Files\\Vireta\\saveOldStart1.reg");
  EXPECT_TRUE(result.fileOpened);
  EXPECT_TRUE(result.imported);
  // The backup holds the start-menu tree as it was, not the settings.
  EXPECT_EQ(hostRead("Program Files/Vireta/saveOldStart1.reg"),
            "Windows Registry Editor Version 5.00\n"
            "\n[HKEY_LOCAL_MACHINE\\Security\\Shell\\StartInfo\\Start\\]\n"
            "\n[HKEY_LOCAL_MACHINE\\Security\\Shell\\StartInfo\\Start\\a.lnk\\]\n"
            "\"name\"=\"before\"\n");
  EXPECT_EQ(query(Settings, u"textSize")->number(), 12u);
  EXPECT_EQ(query(Start + u"a.lnk"s, u"name")->text(), u"after");

  // A picked file that cannot be opened still leaves a backup; nothing picked does nothing.
  const auto missing = loadConfiguration(base, u"\\nothing.reg", nullptr);
  EXPECT_EQ(missing.backupPath, u"\\Program Files\\Vireta\\saveOldStart2.reg");
  EXPECT_FALSE(missing.fileOpened);
  const auto none = loadConfiguration(base, u"", nullptr);
  EXPECT_TRUE(none.backupPath.empty());
  EXPECT_FALSE(hostExists("Program Files/Vireta/saveOldStart3.reg"));
}

} // namespace
