#pragma once

#include <QString>

namespace zento {

// The title files of a DVD-Video disc: VTS_tt_n.VOB in its VIDEO_TS folder.
inline constexpr const char *kTitleFolderName = "VIDEO_TS";
inline constexpr const char *kTitleMask = "VTS*.VOB";

// What the source list shows for a found file: its file name without the
// extension and without its first four characters ("VTS_01_1.VOB" gives
// "01_1"); empty when fewer than five characters remain ("VTSA.VOB").
QString TitleDisplayText(const QString &path);

// The title folder of a drive whose current root folder is `root`: root
// followed by "/VIDEO_TS". When that exact folder does not exist, a folder of
// the same name in other letter case (video_ts, as some discs are mounted) is
// taken instead. Empty when the root is empty (no disc in the drive).
QString TitleFolder(const QString &root);

// The folder searched for the titles of a drive whose root is `root`. A folder
// the user chose is the title folder itself when its name is VIDEO_TS (in any
// letter case); every other drive and folder holds it below.
QString SourceTitleFolder(const QString &root, bool chosenFolder);

} // namespace zento
