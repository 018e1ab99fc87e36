#include "mirror/MirrorPlan.h"

#include "settings/ValueText.h"

namespace quillmere::mirror {

MirrorOptions readMirrorOptions(const MirrorSettings& settings) {
  // Each key with the default of the section's key table.
  auto set = [&](const char* keyName) {
    const settings::KeyDescription* described = settings::findKeyDescription(keyTable(), keyName);
    return settings::flagOr(settings.get(keyName, described->defaultValue), false);
  };
  MirrorOptions o;
  o.inDir = settings.inDir();
  o.outDir = settings.outDir();
  o.dustBox = set(key::kDustBox);
  o.clrDustBox = set(key::kClrDustBox);
  o.binCheck = set(key::kBinCheck);
  o.binCheck1 = set(key::kBinCheck1);
  o.master = set(key::kMaster);
  o.master1 = set(key::kMaster1);
  o.mirror = set(key::kMirror);
  o.mirror1 = set(key::kMirror1);
  o.subDirDel1 = set(key::kSubDirDel1);
  o.subDirDel2 = set(key::kSubDirDel2);
  return o;
}

std::string describeRun(const MirrorOptions& o, const std::string& masterNative,
                        const std::string& mirrorNative) {
  auto oneSided = [](bool handled, bool deleted, const char* copyTo) {
    return std::string(!handled ? "そのまま" : deleted ? "削除" : copyTo);
  };
  return "マスター " + masterNative + " → ミラー " + mirrorNative + "\n" +
         "マスターだけのファイル: " + oneSided(o.master, o.master1, "ミラーへコピー") +
         "、ミラーだけのファイル: " + oneSided(o.mirror, o.mirror1, "マスターへコピー") + "\n" +
         "内容の比較: " + (o.binCheck && !o.binCheck1 ? "する" : "しない") +
         "、削除・上書きするファイル: " + (o.dustBox ? "ごみ箱へ" : "完全に削除");
}

bool needsMassDeleteConsent(std::int64_t toDelete, std::int64_t sideFiles) {
  if (toDelete <= 0) return false;
  return toDelete >= sideFiles || (toDelete * 2 > sideFiles && toDelete > 20);
}

std::string massDeleteText(bool masterSide, std::int64_t toDelete, std::int64_t sideFiles) {
  const std::string side = masterSide ? "マスター" : "ミラー";
  const std::string other = masterSide ? "ミラー" : "マスター";
  const bool all = toDelete >= sideFiles;
  return side + "側のファイル " + std::to_string(sideFiles) + " 件のうち " +
         std::to_string(toDelete) + " 件（" + (all ? "すべて" : "半分以上") +
         "）を削除することになります。" + other +
         "側のフォルダーが空か、ディスクがつながっていない可能性があります。";
}

std::string massDeleteQuestion(bool masterSide, std::int64_t toDelete, std::int64_t sideFiles) {
  return massDeleteText(masterSide, toDelete, sideFiles) + "削除しますか？";
}

}  // namespace quillmere::mirror
