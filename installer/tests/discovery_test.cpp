#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery.h"
#include "fake_system.h"

using namespace installer;
using installer::testing::FakeSystem;

namespace {

std::vector<std::string> Shown(const std::vector<Folder>& folders) {
  std::vector<std::string> out;
  for (const Folder& f : folders) out.push_back(f.Display());
  return out;
}

using Lines = std::vector<std::string>;

class Discovery : public ::testing::Test {
 protected:
  Discovery() {
    sys.AddFolder("C:\\");
    sys.AddFolder("C:\\Windows");
  }
  Lines Found() { return Shown(DiscoverFolders(sys)); }
  Lines Gate(std::initializer_list<const char*> candidates) {
    FolderList list(sys);
    for (const char* c : candidates) list.Add(c);
    return Shown(list.Entries());
  }
  FakeSystem sys;
};

TEST_F(Discovery, GateCutsFilesAndRubbishToTheirFolderOneLevelUpAtMost) {
  sys.AddFolder("C:\\Apps\\Editor");
  sys.AddFolder("C:\\Apps\\Other\\Plug-ins");
  EXPECT_EQ(Gate({"C:\\Apps\\Editor\\Editor.exe"}), Lines{"C:\\Apps\\Editor\\Brannock\\"});
  EXPECT_EQ(Gate({"C:\\Apps\\Other\\Plug-ins\\\""}), Lines{"C:\\Apps\\Other\\Plug-Ins\\Brannock\\"});
  EXPECT_EQ(Gate({"c:\\apps\\other\\plug-ins\\"}), Lines{"C:\\Apps\\Other\\Plug-Ins\\Brannock\\"});
  // Two missing levels: the parent is tested last, and it does not exist either.
  EXPECT_EQ(Gate({"C:\\Apps\\Missing\\Deeper"}), Lines{});
  EXPECT_EQ(Gate({"", "\\", "Editor"}), Lines{});
}

TEST_F(Discovery, GateGivesTheMakersFolderWayToItsParentAndCapitalises) {
  sys.AddFolder("C:\\Program Files\\Brannock\\Plugins");
  sys.AddFolder("C:\\Adobe\\Photoshop 7.0\\plug-ins");
  sys.AddFolder("C:\\Cbrand\\x");
  EXPECT_EQ(Gate({"c:\\program files\\brannock\\plugins"}), Lines{"C:\\Program Files\\Brannock\\"});
  EXPECT_EQ(Gate({"c:\\adobe\\photoshop 7.0\\plug-ins"}), Lines{"C:\\Adobe\\Photoshop 7.0\\Plug-Ins\\Brannock\\"});
  // Only a "bran" that begins a folder name is the maker's folder.
  EXPECT_EQ(Gate({"C:\\Cbrand\\x"}), Lines{"C:\\Cbrand\\X\\Brannock\\"});
}

TEST_F(Discovery, GateListsOnceAtMostTwentyAndLeavesIgrafxWithoutTheMakersFolder) {
  for (int i = 0; i < 22; ++i) sys.AddFolder("C:\\F" + std::to_string(i));
  FolderList list(sys);
  EXPECT_TRUE(list.Add("C:\\F0"));
  EXPECT_FALSE(list.Add("c:\\f0\\"));
  for (int i = 1; i < 20; ++i) EXPECT_TRUE(list.Add("C:\\F" + std::to_string(i)));
  EXPECT_FALSE(list.Add("C:\\F20"));
  EXPECT_EQ(list.Entries().size(), 20u);

  sys.AddFolder("C:\\iGrafx\\Plugins");
  EXPECT_EQ(Gate({"C:\\iGrafx\\Plugins"}), Lines{"C:\\Igrafx\\Plugins\\"});
}

TEST_F(Discovery, GateDropsPathsTooLongToHold) {
  std::string deep = "C:";
  while (deep.size() < 420) deep += "\\abcdefghij";
  sys.AddFolder(deep);
  EXPECT_EQ(Gate({deep.c_str()}), Lines{});
}

TEST_F(Discovery, RegistryWalkVisitsTheRootsInOrderAndTakesPluginValues) {
  for (const char* f : {"C:\\A", "C:\\B", "C:\\C", "C:\\D", "C:\\E"}) sys.AddFolder(f);
  sys.SetString(RegRoot::Users, ".default\\Software\\Brannock\\X", "Plugins", "C:\\C");
  sys.SetString(RegRoot::LocalMachine, "SOFTWARE\\Brannock", "PluginPath", "C:\\B");
  sys.SetString(RegRoot::CurrentUser, "Software\\Brannock\\Setup", "Directory2", "\"C:\\A\"");
  // The key path carries "plug": any value name will do.
  sys.SetString(RegRoot::CurrentUser, "Software\\Brannock\\PlugIns", "Where", "C:\\D");
  // Neither key nor name says plug-in, no drive letter, not a string, or another vendor.
  sys.SetString(RegRoot::CurrentUser, "Software\\Brannock\\Setup", "Where", "C:\\E");
  sys.SetString(RegRoot::CurrentUser, "Software\\Brannock\\Setup", "Plugins", "\\\\server\\share");
  sys.SetBinary(RegRoot::CurrentUser, "Software\\Brannock\\Setup", "Plugins");
  sys.SetString(RegRoot::CurrentUser, "Software\\Other", "Plugins", "C:\\E");
  EXPECT_EQ(Found(), (Lines{"C:\\A\\Brannock\\", "C:\\D\\Brannock\\", "C:\\B\\Brannock\\", "C:\\C\\Brannock\\"}));
}

TEST_F(Discovery, RegistryWalkNeedsTheKeyPatternAndStopsNineteenLevelsDown) {
  sys.AddFolder("C:\\Ps");
  sys.AddFolder("C:\\Deep19");
  sys.AddFolder("C:\\Deep20");
  sys.AddFolder("C:\\Illustrator");
  sys.SetString(RegRoot::LocalMachine, "Software\\Adobe\\Illustrator", "PluginDir", "C:\\Illustrator");
  sys.SetString(RegRoot::LocalMachine, "Software\\Adobe\\Photoshop\\7.0", "PluginPath", "C:\\Ps");
  std::string key = "Software\\Adobe\\Photoshop";  // level 1
  for (int level = 2; level <= 19; ++level) key += "\\K" + std::to_string(level);
  sys.SetString(RegRoot::LocalMachine, key, "Plugins", "C:\\Deep19");
  sys.SetString(RegRoot::LocalMachine, key + "\\K20", "Plugins", "C:\\Deep20");
  EXPECT_EQ(Found(), (Lines{"C:\\Ps\\Brannock\\", "C:\\Deep19\\Brannock\\"}));
}

TEST_F(Discovery, RegistryWalksWithValuePatternsAndSuffixes) {
  sys.AddFolder("C:\\Office\\PhotoDraw\\Plugins");
  sys.AddFolder("C:\\Megalux\\Filters");
  sys.AddFolder("C:\\PhotoLine");
  sys.AddFolder("C:\\Paint");
  sys.SetString(RegRoot::LocalMachine, "Software\\Microsoft\\PhotoDraw\\2.0", "InstallDest", "C:\\Office");
  sys.SetString(RegRoot::LocalMachine, "Software\\Megalux\\Ultra", "AdobeLoc", "C:\\Megalux\\Filters");
  sys.SetString(RegRoot::LocalMachine, "Software\\Megalux\\Ultra", "Home", "C:\\Megalux");
  sys.SetString(RegRoot::CurrentUser, "Software\\Computerinsel\\PhotoLine32", "Directory1", "C:\\PhotoLine");
  sys.SetString(RegRoot::CurrentUser, "Software\\Jasc\\Paint Shop Pro\\7", "PlugIn Dir", "C:\\Paint");
  EXPECT_EQ(Found(), (Lines{"C:\\Paint\\Brannock\\", "C:\\Office\\Photodraw\\Plugins\\Brannock\\",
                            "C:\\Megalux\\Filters\\Brannock\\", "C:\\Photoline\\Brannock\\"}));
}

TEST_F(Discovery, RegistryValuesLongerThanTheirReadAreLeftOut) {
  sys.AddFolder("C:\\Ok");
  sys.SetString(RegRoot::CurrentUser, "Software\\Brannock", "Plugins", "C:\\Ok\\" + std::string(300, 'x'));
  sys.SetString(RegRoot::CurrentUser, "Software\\Brannock", "Plugins2", "C:\\Ok");
  EXPECT_EQ(Found(), Lines{"C:\\Ok\\Brannock\\"});
}

TEST_F(Discovery, ApplicationFolderOfAnAssociation) {
  sys.SetAssociation("A", "\"C:\\Program Files\\Editor\\editor.exe\" \"%1\"");
  sys.SetAssociation("B", "C:\\Editor\\");
  sys.SetAssociation("C", "editor.exe %1");
  sys.SetAssociation("D", "\\\\server\\editor.exe");
  EXPECT_EQ(ApplicationFolder(sys, "A"), "C:\\Program Files\\Editor\\");
  EXPECT_EQ(ApplicationFolder(sys, "B"), "C:\\");  // a final backslash does not count
  EXPECT_EQ(ApplicationFolder(sys, "C"), "");
  EXPECT_EQ(ApplicationFolder(sys, "D"), "");
  EXPECT_EQ(ApplicationFolder(sys, "Missing"), "");
}

TEST_F(Discovery, LineCandidatesStartAtADriveLetterAfterAnEqualsOrParenthesis) {
  EXPECT_EQ(LineCandidates("PluginDirectory=\"C:\\Ps\\Plug-ins\"", "plugindirectory"),
            Lines{"C:\\Ps\\Plug-ins\""});
  EXPECT_EQ(LineCandidates("ExtraPhotoshop (D:\\x) = E:\\y", "extraphotoshop"), (Lines{"D:\\x) = E:\\y", "E:\\y"}));
  EXPECT_EQ(LineCandidates("plugindirectory=none", "plugindirectory"), Lines{});
  EXPECT_EQ(LineCandidates("Other=C:\\x", "plugindirectory"), Lines{});
}

TEST_F(Discovery, PhotoshopSettingsFilesAreSearchedBelowTheProgramFolder) {
  sys.SetAssociation("Photoshop.PlugIn", "C:\\Ps\\Photoshp.exe");
  sys.AddFolder("C:\\Ps\\Plug-ins");
  sys.AddFolder("C:\\Ps\\Other");
  sys.AddFile("C:\\Ps\\A\\notes.ini", "PluginDirectory=C:\\Ps\\Other\n");
  sys.AddFile("C:\\Ps\\B\\.hidden\\Photoshop.ini", "PluginDirectory=C:\\Ps\\Other\n");
  sys.AddFile("C:\\Ps\\C\\PhotoshopPrefs.ini", "[General]\r\nPath=C:\\Ps\\Other\r\nPlugInDirectory=C:\\Ps\\Plug-ins\r\n");
  sys.AddFile("C:\\Ps\\D\\Photos.ini", "PluginDirectory=C:\\Ps\\Other\n");  // after the first find
  EXPECT_EQ(Found(), Lines{"C:\\Ps\\Plug-Ins\\Brannock\\"});
}

TEST_F(Discovery, SettingsSearchGoesNineLevelsDownAndSkipsUnreadableFiles) {
  sys.SetAssociation("Photoshop.PlugIn", "C:\\Ps\\Photoshp.exe");
  sys.AddFolder("C:\\Ps\\Nine");
  sys.AddFolder("C:\\Ps\\Ten");
  sys.AddFolder("C:\\Ps\\Good");
  std::string nine = "C:\\Ps", ten;
  for (int i = 1; i <= 9; ++i) nine += "\\L" + std::to_string(i);
  ten = nine + "\\L10";
  sys.AddFile(ten + "\\photoshop.ini", "PluginDirectory=C:\\Ps\\Ten\n");
  sys.AddFile(nine + "\\photoshop.ini", "PluginDirectory=C:\\Ps\\Nine\n");
  EXPECT_EQ(Found(), Lines{"C:\\Ps\\Nine\\Brannock\\"});

  sys.AddFile("C:\\Ps\\A\\photoshop.ini", "PluginDirectory=C:\\Ps\\Good\n");
  sys.MakeUnreadable("C:\\Ps\\A\\photoshop.ini");
  sys.AddFile("C:\\Ps\\B\\photoshop.ini", "PluginDirectory=C:\\Ps\\Good\n");
  EXPECT_EQ(Found(), Lines{"C:\\Ps\\Good\\Brannock\\"});
}

TEST_F(Discovery, SettingsLinesAreReadInPiecesOfTwoHundred) {
  sys.SetAssociation("Photoshop.PlugIn", "C:\\Ps\\Photoshp.exe");
  sys.AddFolder("C:\\Ps\\Plugins");
  // The keyword lands in the second piece of the long line, the path after it.
  sys.AddFile("C:\\Ps\\photoshop.ini", std::string(200, ' ') + "PluginDirectory=C:\\Ps\\Plugins\n");
  EXPECT_EQ(Found(), Lines{"C:\\Ps\\Plugins\\Brannock\\"});
  sys.AddFile("C:\\Ps\\photoshop.ini", std::string(190, ' ') + "PluginDirectory=C:\\Ps\\Plugins\n");
  EXPECT_EQ(Found(), Lines{});
}

TEST_F(Discovery, FireworksAndCorelSettings) {
  sys.SetAssociation("Fireworks.Doc.3", "\"C:\\Fw3\\Fireworks.exe\" \"%1\"");
  sys.AddFolder("C:\\Fw3\\Plug");
  sys.AddFile("C:\\Fw3\\Fireworks 2 Preferences.txt", "ExtraPhotoshop=C:\\Wrong\n");
  sys.AddFile("C:\\Fw3\\Fireworks 3 Preferences.txt", "ExtraPhotoshopPlugins=C:\\Fw3\\Plug\n");
  sys.SetAssociation("CorelPhotoPaint.Image.8 ", "C:\\Corel\\Programs\\photopnt.exe");
  sys.AddFolder("C:\\Corel\\Plugins");
  sys.AddFile("C:\\Corel\\Config\\PhotoPnt.ini", "Dirs1=C:\\Corel\\Plugins\n");
  sys.SetAssociation("CorelPhotoPaint.Image.8", "C:\\Wrong\\photopnt.exe");
  EXPECT_EQ(Found(), (Lines{"C:\\Fw3\\Plug\\Brannock\\", "C:\\Corel\\Plugins\\Brannock\\"}));
}

TEST_F(Discovery, Ulead32IniAddsEveryCandidateOfEveryLine) {
  for (const char* f : {"C:\\U1", "C:\\U2", "C:\\U3"}) sys.AddFolder(f);
  sys.AddFile("C:\\Windows\\ULEAD32.INI", "[x]\nPlugInDir=C:\\U1\nPlugInDir1=C:\\Wrong\\x=C:\\U2\nother=C:\\Wrong\nPluginDir2=C:\\U3\n");
  EXPECT_EQ(Found(), (Lines{"C:\\U1\\Brannock\\", "C:\\U2\\Brannock\\", "C:\\U3\\Brannock\\"}));
}

TEST_F(Discovery, ByteScanTakesTheFirstRecordOfItsOwnLength) {
  using namespace std::string_literals;
  EXPECT_EQ(ScanPathRecord("xx\x80\x05" "C:\\abc\0"s + "\x80\x05" "D:\\ab\0"s), "D:\\ab");
  EXPECT_EQ(ScanPathRecord("\x80\x05" "1:\\abc\0"s), "");
  EXPECT_EQ(ScanPathRecord("\x80\x06" "C:\\abc"s), "");  // no terminator
  EXPECT_EQ(ScanPathRecord("\x80\x05" "C:/abc\0"s), "");
  std::string longRecord = "\x80\xFF" "C:\\"s + std::string(252, 'a') + "\0"s;
  EXPECT_EQ(ScanPathRecord(longRecord), "");  // collected at most 250 characters
  EXPECT_EQ(ScanPathRecord(""), "");
}

TEST_F(Discovery, EverySourceInItsOrder) {
  using namespace std::string_literals;
  for (const char* f : {"C:\\Reg", "C:\\PsIni", "C:\\Fw", "C:\\Corel\\Plug", "C:\\Ulead", "C:\\Pi3\\Plugin",
                        "C:\\Painter\\Plug", "C:\\Painter6\\Plugins", "C:\\Classic\\Plug"})
    sys.AddFolder(f);
  sys.SetString(RegRoot::LocalMachine, "Software\\iGrafx\\Image", "PlugIns", "C:\\Reg");
  sys.SetAssociation("Photoshop.PlugIn", "C:\\PsIni\\ps.exe");
  sys.AddFile("C:\\PsIni\\photoshop.ini", "PluginDirectory=C:\\PsIni\n");
  sys.SetAssociation("Fireworks.Doc.5", "C:\\Fw\\fw.exe");
  sys.AddFile("C:\\Fw\\fireworks 5 preferences.txt", "ExtraPhotoshop=C:\\Fw\n");
  sys.SetAssociation("CorelPhotoPaint.Image.10", "C:\\Corel\\Bin\\pp.exe");
  sys.AddFile("C:\\Corel\\photop10.ini", "DIRS1=C:\\Corel\\Plug\n");
  sys.AddFile("C:\\Windows\\ulead32.ini", "PluginDir=C:\\Ulead\n");
  sys.SetAssociation("PI3.Image", "C:\\Pi3\\pi3.exe \"%1\"");
  sys.SetAssociation("PainterFile", "C:\\Painter\\painter.exe");
  sys.AddFile("C:\\Painter\\painter.set", "\x01\x80\x0F" "C:\\Painter\\Plug\0more"s);
  sys.SetString(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Painter6.exe", "",
                "C:\\Painter6\\Painter6.exe");
  sys.SetAssociation("PClassicFile", "C:\\Classic\\pclassic.exe");
  sys.AddFile("C:\\Classic\\pclassic.set", "\x80\x0F" "C:\\Classic\\Plug\0"s);
  EXPECT_EQ(Found(), (Lines{"C:\\Reg\\Brannock\\", "C:\\Psini\\Brannock\\", "C:\\Fw\\Brannock\\", "C:\\Corel\\Plug\\Brannock\\",
                            "C:\\Ulead\\Brannock\\", "C:\\Pi3\\Plugin\\Brannock\\", "C:\\Painter\\Plug\\Brannock\\",
                            "C:\\Painter6\\Plugins\\Brannock\\", "C:\\Classic\\Plug\\Brannock\\"}));
}

TEST_F(Discovery, TheSearchOnlyReads) {
  sys.SetString(RegRoot::CurrentUser, "Software\\Brannock", "Plugins", "C:\\Missing\\Plugins");
  EXPECT_EQ(Found(), Lines{});
  EXPECT_FALSE(sys.HasFolder("C:\\Missing"));
}

}  // namespace
