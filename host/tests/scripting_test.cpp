// The descriptor suites as a plug-in meets them: through the record's tables only.
#include "plughost/scripting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "hostapi/PIGeneral.h"

namespace plughost {
namespace {

constexpr uint32_t kQu = PIFourCC("crQu"), kExpo = PIFourCC("expo"), kExsi = PIFourCC("exsi"),
                   kCode = PIFourCC("code"), kName = PIFourCC("name"), kDist = PIFourCC("dist"),
                   kClss = PIFourCC("clss");

Descriptor Played() {
  Descriptor d;
  d.Put(kQu, DescriptorValue::Integer(250));
  d.Put(kExpo, DescriptorValue::Float(0.5));
  d.Put(kExsi, DescriptorValue::Bool(true));
  d.Put(kCode, DescriptorValue::Enumerated(PIFourCC("encd"), PIFourCC("eD48")));
  d.Put(kName, DescriptorValue::Text(std::string(300, 'n')));
  d.Put(kDist, DescriptorValue::UnitFloat(unitPixels, 12.5));
  d.Put(kClss, DescriptorValue::Class(PIFourCC("Fmt ")));
  return d;
}

ScriptingOptions Playing(Descriptor d, bool showDialog = false) {
  ScriptingOptions o;
  o.playback = std::move(d);
  o.showDialog = showDialog;
  return o;
}

TEST(ScriptingSuites, OfferWhatPluginsCheckAndTheDialogAsAsked) {
  HostMemory memory;
  {
    ScriptingHost host(memory, ScriptingOptions{});
    PIDescriptorParameters* p = host.Parameters();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->descriptorParametersVersion, 0);
    EXPECT_EQ(p->readDescriptorProcs->readDescriptorProcsVersion, 0);
    EXPECT_EQ(p->writeDescriptorProcs->writeDescriptorProcsVersion, 0);
    EXPECT_GT(p->readDescriptorProcs->numReadDescriptorProcs, 17);
    EXPECT_GT(p->writeDescriptorProcs->numWriteDescriptorProcs, 15);
    // Every procedure is there, as plug-ins check before using the suites.
    auto allSet = [](const void* table, size_t from, size_t size) {
      for (size_t at = from; at < size; at += sizeof(void*)) {
        void* fn = nullptr;
        std::memcpy(&fn, static_cast<const char*>(table) + at, sizeof fn);
        if (!fn) return false;
      }
      return true;
    };
    EXPECT_TRUE(allSet(p->readDescriptorProcs, offsetof(ReadDescriptorProcs, openReadDescriptorProc),
                       sizeof(ReadDescriptorProcs)));
    EXPECT_TRUE(allSet(p->writeDescriptorProcs, offsetof(WriteDescriptorProcs, openWriteDescriptorProc),
                       sizeof(WriteDescriptorProcs)));
    EXPECT_EQ(p->descriptor, nullptr);
    EXPECT_EQ(p->playInfo, plugInDialogDisplay);  // the user's own run shows the dialog
    EXPECT_EQ(p->recordInfo, plugInDialogOptional);
  }
  {
    ScriptingHost host(memory, Playing(Played()));
    EXPECT_NE(host.Parameters()->descriptor, nullptr);
    EXPECT_EQ(host.Parameters()->playInfo, plugInDialogDontDisplay);
  }
  {
    ScriptingHost host(memory, Playing(Played(), true));
    EXPECT_EQ(host.Parameters()->playInfo, plugInDialogDisplay);
  }
  {
    ScriptingOptions o;
    o.withhold = true;
    ScriptingHost host(memory, o);
    EXPECT_EQ(host.Parameters(), nullptr);
  }
  {
    memory.SetLimit(8);  // less than the played-back descriptor needs
    ScriptingHost host(memory, Playing(Played()));
    EXPECT_EQ(host.Parameters(), nullptr);
    EXPECT_TRUE(host.PlaybackFailed());
  }
}

class Reading : public ::testing::Test {
 protected:
  HostMemory memory;
  ScriptingHost host{memory, Playing(Played())};
  PIDescriptorParameters* p = host.Parameters();
  ReadDescriptorProcs& r = *p->readDescriptorProcs;
};

TEST_F(Reading, KeysComeInOrderAndFoundKeysAreStruckFromTheList) {
  DescriptorKeyID keys[] = {kExsi, kQu, PIFourCC("miss"), kPIKeyListEnd};
  PIReadDescriptor d = r.openReadDescriptorProc(p->descriptor, keys);
  ASSERT_NE(d, nullptr);
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  int32_t flags = -1;
  std::vector<DescriptorKeyID> seen;
  while (r.getKeyProc(d, &key, &type, &flags)) {
    seen.push_back(key);
    switch (key) {
      case kQu: {
        int32_t v = 0;
        EXPECT_EQ(type, typeInteger);
        EXPECT_EQ(r.getIntegerProc(d, &v), 0);
        EXPECT_EQ(v, 250);
        break;
      }
      case kExpo: {
        double v = 0;
        EXPECT_EQ(r.getFloatProc(d, &v), 0);
        EXPECT_EQ(v, 0.5);
        break;
      }
      case kExsi: {
        Boolean v = 0;
        EXPECT_EQ(r.getBooleanProc(d, &v), 0);
        EXPECT_EQ(v, 1);
        break;
      }
      case kCode: {
        DescriptorEnumID v = 0;
        EXPECT_EQ(type, typeEnumerated);
        EXPECT_EQ(flags, actionEnumeratedParameter);
        EXPECT_EQ(r.getEnumeratedProc(d, &v), 0);
        EXPECT_EQ(v, PIFourCC("eD48"));
        break;
      }
      case kName: {
        Handle h = nullptr;
        ASSERT_EQ(r.getTextProc(d, &h), 0);
        ASSERT_TRUE(memory.IsHandle(h));  // the plug-in's to dispose, through the handle suite
        EXPECT_EQ(std::string(*h, static_cast<size_t>(memory.HandleSize(h))), std::string(300, 'n'));
        memory.DisposeHandle(h);
        Str255 s{};
        EXPECT_EQ(r.getStringProc(d, &s), 0);
        EXPECT_EQ(s[0], 255);  // cut to what a Pascal string holds
        break;
      }
      case kDist: {
        DescriptorUnitID unit = 0;
        double v = 0;
        EXPECT_EQ(r.getUnitFloatProc(d, &unit, &v), 0);
        EXPECT_EQ(unit, unitPixels);
        EXPECT_EQ(v, 12.5);
        break;
      }
      case kClss: {
        DescriptorTypeID v = 0;
        EXPECT_EQ(r.getClassProc(d, &v), 0);
        EXPECT_EQ(v, PIFourCC("Fmt "));
        break;
      }
    }
  }
  EXPECT_EQ(seen, (std::vector<DescriptorKeyID>{kQu, kExpo, kExsi, kCode, kName, kDist, kClss}));
  EXPECT_EQ(keys[0], 0u);
  EXPECT_EQ(keys[1], 0u);
  EXPECT_EQ(keys[2], PIFourCC("miss"));
  EXPECT_EQ(r.closeReadDescriptorProc(d), errMissingParameter);
  EXPECT_EQ(host.OpenDescriptors(), 0u);

  DescriptorKeyID all[] = {kQu, kCode, kPIKeyListEnd};
  d = r.openReadDescriptorProc(p->descriptor, all);
  while (r.getKeyProc(d, &key, &type, &flags)) {
  }
  EXPECT_EQ(r.closeReadDescriptorProc(d), 0);
}

TEST_F(Reading, AWrongTypeFailsThatReadAndIsReportedAgainAtClose) {
  DescriptorKeyID keys[] = {kQu, kPIKeyListEnd};
  PIReadDescriptor d = r.openReadDescriptorProc(p->descriptor, keys);
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  int32_t flags = 0;
  ASSERT_TRUE(r.getKeyProc(d, &key, &type, &flags));
  double f = -1;
  EXPECT_EQ(r.getFloatProc(d, &f), paramErr);
  EXPECT_EQ(f, -1);  // left alone
  Handle h = reinterpret_cast<Handle>(1);
  EXPECT_EQ(r.getObjectProc(d, &type, &h), paramErr);
  EXPECT_EQ(h, nullptr);
  int32_t v = 0;
  EXPECT_EQ(r.getIntegerProc(d, &v), 0);  // the right getter still works
  EXPECT_EQ(v, 250);
  EXPECT_EQ(r.closeReadDescriptorProc(d), paramErr);  // although every key was found
}

TEST_F(Reading, GettersWithoutAKeyOrAReaderFailSafely) {
  DescriptorKeyID keys[] = {kPIKeyListEnd};
  int32_t v = 0;
  EXPECT_EQ(r.getIntegerProc(reinterpret_cast<PIReadDescriptor>(&v), &v), paramErr);  // not a reader
  PIReadDescriptor d = r.openReadDescriptorProc(p->descriptor, keys);
  EXPECT_EQ(r.getIntegerProc(d, &v), eofErr);  // no key asked for yet
  EXPECT_EQ(r.getIntegerProc(d, nullptr), paramErr);
  EXPECT_EQ(r.closeReadDescriptorProc(d), eofErr);
  EXPECT_EQ(r.closeReadDescriptorProc(d), paramErr);  // closed twice
  // No descriptor: nothing to open, and closing nothing is no error.
  EXPECT_EQ(r.openReadDescriptorProc(nullptr, keys), nullptr);
  char notAHandle[16] = {};
  char* master = notAHandle;
  EXPECT_EQ(r.openReadDescriptorProc(&master, keys), nullptr);
  EXPECT_EQ(r.closeReadDescriptorProc(nullptr), 0);
  // A null key list is allowed: nothing is struck, nothing missing.
  d = r.openReadDescriptorProc(p->descriptor, nullptr);
  DescriptorKeyID key = 0;
  while (r.getKeyProc(d, &key, nullptr, nullptr)) {
  }
  EXPECT_EQ(r.getIntegerProc(d, &v), eofErr);  // past the last key
  EXPECT_EQ(r.closeReadDescriptorProc(d), eofErr);
}

TEST_F(Reading, PinnedGettersClampAndSaySoWithoutFailing) {
  DescriptorKeyID keys[] = {kQu, kExpo, kPIKeyListEnd};
  PIReadDescriptor d = r.openReadDescriptorProc(p->descriptor, keys);
  DescriptorKeyID key = 0;
  ASSERT_TRUE(r.getKeyProc(d, &key, nullptr, nullptr));
  int32_t v = 0;
  EXPECT_EQ(r.getPinnedIntegerProc(d, 0, 100, &v), coercedParamErr);
  EXPECT_EQ(v, 100);
  EXPECT_EQ(r.getPinnedIntegerProc(d, 0, 1000, &v), 0);
  EXPECT_EQ(v, 250);
  ASSERT_TRUE(r.getKeyProc(d, &key, nullptr, nullptr));
  const double lo = 1, hi = 2;
  double f = 0;
  EXPECT_EQ(r.getPinnedFloatProc(d, &lo, &hi, &f), coercedParamErr);
  EXPECT_EQ(f, 1);
  EXPECT_EQ(r.getPinnedFloatProc(d, nullptr, &hi, &f), 0);  // no lower bound
  EXPECT_EQ(f, 0.5);
  EXPECT_EQ(r.closeReadDescriptorProc(d), 0);
}

TEST(ScriptingWrite, RecordsWhatIsPutAndTheHostTakesItBack) {
  HostMemory memory;
  ScriptingHost host(memory, ScriptingOptions{});
  PIDescriptorParameters* p = host.Parameters();
  WriteDescriptorProcs& w = *p->writeDescriptorProcs;
  PIWriteDescriptor d = w.openWriteDescriptorProc();
  ASSERT_NE(d, nullptr);
  const double half = 0.5, px = 12.5;
  EXPECT_EQ(w.putIntegerProc(d, kQu, 1), 0);
  EXPECT_EQ(w.putFloatProc(d, kExpo, &half), 0);
  EXPECT_EQ(w.putBooleanProc(d, kExsi, 1), 0);
  EXPECT_EQ(w.putEnumeratedProc(d, kCode, PIFourCC("encd"), PIFourCC("eD48")), 0);
  Handle text = memory.NewHandle(3);
  std::memcpy(*text, "abc", 3);
  EXPECT_EQ(w.putTextProc(d, kName, text), 0);
  memory.DisposeHandle(text);
  EXPECT_EQ(w.putUnitFloatProc(d, kDist, unitPixels, &px), 0);
  EXPECT_EQ(w.putClassProc(d, kClss, PIFourCC("Fmt ")), 0);
  const uint8_t pascal[] = {2, 'h', 'i'};
  EXPECT_EQ(w.putStringProc(d, PIFourCC("strg"), pascal), 0);
  EXPECT_EQ(w.putIntegerProc(d, kQu, 75), 0);  // replaces, keeps its place
  EXPECT_EQ(w.closeWriteDescriptorProc(d, &p->descriptor), 0);
  ASSERT_NE(p->descriptor, nullptr);
  EXPECT_EQ(host.OpenDescriptors(), 0u);

  auto recorded = host.TakeRecorded();
  ASSERT_TRUE(recorded);
  EXPECT_EQ(FormatDescriptorText(*recorded),
            "crQu long 75\nexpo doub 0.5\nexsi bool true\ncode enum encd eD48\nname TEXT abc\n"
            "dist UntF #Pxl 12.5\nclss type Fmt \nstrg TEXT hi\n");
  EXPECT_EQ(memory.LiveHandles(), 0u);
}

TEST(ScriptingWrite, UnsupportedOrBadPutsFailTheDescriptor) {
  HostMemory memory;
  ScriptingHost host(memory, ScriptingOptions{});
  PIDescriptorParameters* p = host.Parameters();
  WriteDescriptorProcs& w = *p->writeDescriptorProcs;
  PIWriteDescriptor d = w.openWriteDescriptorProc();
  EXPECT_EQ(w.putIntegerProc(d, kQu, 1), 0);
  char* master = nullptr;
  EXPECT_EQ(w.putTextProc(d, kName, &master), paramErr);  // not a host handle
  const double nan = std::nan("");
  EXPECT_EQ(w.putFloatProc(d, kExpo, &nan), paramErr);
  EXPECT_EQ(w.putObjectProc(d, kExpo, PIFourCC("Objc"), nullptr), paramErr);
  EXPECT_EQ(w.putIntegerProc(reinterpret_cast<PIWriteDescriptor>(&master), kQu, 1), paramErr);
  PIDescriptorHandle out = reinterpret_cast<PIDescriptorHandle>(&master);
  EXPECT_EQ(w.closeWriteDescriptorProc(d, &out), paramErr);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(w.closeWriteDescriptorProc(d, &out), paramErr);  // closed already
  EXPECT_FALSE(host.TakeRecorded());
  EXPECT_EQ(memory.LiveHandles(), 0u);
}

TEST(ScriptingWrite, APlugInThatDisposesThePlayedBackHandleAndRecordsLeavesNothingHeld) {
  HostMemory memory;
  ScriptingHost host(memory, Playing(Played()));
  PIDescriptorParameters* p = host.Parameters();
  // What a plug-in does at the end of a played-back run: gives back the old handle through
  // the handle suite, then hands over the new one.
  memory.DisposeHandle(p->descriptor);
  p->descriptor = nullptr;
  PIWriteDescriptor d = p->writeDescriptorProcs->openWriteDescriptorProc();
  p->writeDescriptorProcs->putIntegerProc(d, kQu, 100);
  ASSERT_EQ(p->writeDescriptorProcs->closeWriteDescriptorProc(d, &p->descriptor), 0);
  Handle own = memory.NewHandle(16);  // the plug-in's own, maybe where the old one was
  auto recorded = host.TakeRecorded();
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->Find(kQu)->integer, 100);
  EXPECT_TRUE(memory.IsHandle(own));
  memory.DisposeHandle(own);
  EXPECT_EQ(memory.LiveHandles(), 0u);
}

TEST(ScriptingWrite, APlayedBackHandleLeftInPlaceIsNoRecording) {
  HostMemory memory;
  ScriptingHost host(memory, Playing(Played()));
  host.Parameters();
  EXPECT_FALSE(host.TakeRecorded());
  EXPECT_EQ(memory.LiveHandles(), 0u);
}

}  // namespace
}  // namespace plughost
