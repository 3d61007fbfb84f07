// The program's own texts, exactly as the user sees them.
#pragma once

namespace res
{

// Document commands.
inline constexpr const wchar_t* kAskCloseArchive = L"現在開いている書庫を閉じますか？";
inline constexpr const wchar_t* kOnlyLzhCanBeCreated = L"作成可能な書庫はLZHです。";
inline constexpr const wchar_t* kCannotOpenArchive = L"書庫を開けませんでした。";
inline constexpr const wchar_t* kAddFailed = L"追加に失敗しました。";
inline constexpr const wchar_t* kAddFailedNamed = L"追加に失敗しました。 [%ls]";
inline constexpr const wchar_t* kNotAFile = L"通常のファイルではないため追加しません。 [%ls]";
inline constexpr const wchar_t* kAddCollision =
    L"同じ名前で格納するファイルが先にあるため追加しませんでした。 [%ls] [%ls]";
inline constexpr const wchar_t* kBrokenFile = L"ファイルが壊れています。 [%ls]";
inline constexpr const wchar_t* kAllFilesGood = L"すべてのファイルは正常です。";
// Test, when some members could not be tested (their count follows).
inline constexpr const wchar_t* kTestedGood = L"テストできたファイルはすべて正常です。";
inline constexpr const wchar_t* kInvalidFiles = L"%dファイル中%dファイルが不正です。";
inline constexpr const wchar_t* kExtractDone = L"展開終了";
inline constexpr const wchar_t* kUnsupportedCount = L"\n非対応圧縮ファイル数 %d";
inline constexpr const wchar_t* kInvalidCount = L"\n不正ファイル数 %d";
inline constexpr const wchar_t* kKeptCount = L"\n既存のファイルを残した数 %d";
// A destination that does not fit 259 characters is refused with this text.
inline constexpr const wchar_t* kDestinationTooLong = L"展開先のパスが長すぎます。";
inline constexpr const wchar_t* kAskOverwrite = L"既に[%ls]が存在します。上書きしますか？";
inline constexpr const wchar_t* kYesToAll = L"すべてはい";
inline constexpr const wchar_t* kNoToAll = L"すべていいえ";
inline constexpr const wchar_t* kConsoleAnswersForAll =
    L" [y=はい/N=いいえ/a=すべてはい/s=すべていいえ/q=中止] ";
inline constexpr const wchar_t* kOverwriteSides = L"\n\n既存のファイル: %ls\n書庫のファイル: %ls";
inline constexpr const wchar_t* kFileSizeAndTime = L"%ls バイト  %04d/%02d/%02d %02d:%02d:%02d";
// Extraction: what could not be asked, shared outputs, the open archive and passwords.
inline constexpr const wchar_t* kNotAsked =
    L"上書きするか確認できないため展開しませんでした。 [%ls]";
inline constexpr const wchar_t* kOutputCollision =
    L"同じ名前で展開済みのファイルがあるため展開しませんでした。 [%ls] [%ls]";
inline constexpr const wchar_t* kOutputIsArchive =
    L"開いている書庫に上書きすることになるため展開しません。 [%ls]";
inline constexpr const wchar_t* kOverlapping =
    L"他のファイルとデータが重なっているため展開できません。 [%ls]";
inline constexpr const wchar_t* kWrongPassword = L"パスワードが違います。 [%ls]";
inline constexpr const wchar_t* kTruncatedMember = L"ファイルが途中で切れています。 [%ls]";
inline constexpr const wchar_t* kNoMemoryForMember = L"メモリが足りないため展開できません。 [%ls]";
inline constexpr const wchar_t* kNoPassword = L"パスワードが入力されていません。 [%ls]";
// Members and archives that cannot be handled safely, and failed changes.
inline constexpr const wchar_t* kPathTooLongToExtract = L"パスが長すぎるため展開できません。 [%ls]";
inline constexpr const wchar_t* kPathTooLongToAdd = L"パスが長すぎるため追加できません。 [%ls]";
inline constexpr const wchar_t* kNameNotStorable =
    L"書庫に格納できない名前のため追加できません。 [%ls]";
inline constexpr const wchar_t* kTooLargeForLevel =
    L"4GB以上のファイルはヘッダーレベル2でなければ格納できないため追加できません。 [%ls]";
inline constexpr const wchar_t* kArchiveIncomplete =
    L"書庫に読み取れない部分があるため変更できません。";
inline constexpr const wchar_t* kArchiveReadOnly = L"書庫が読み取り専用のため変更できません。";
inline constexpr const wchar_t* kUnreadableRest = L"書庫の%lldバイト目から先を読み取れません。";
inline constexpr const wchar_t* kNotAnArchive = L"書庫ではないか、壊れています。 [%ls]";
inline constexpr const wchar_t* kCloseFailed =
    L"書庫を更新できませんでした。ディスク上の書庫は変更されていません。";
inline constexpr const wchar_t* kArchiveChangedElsewhere =
    L"書庫が他のプログラムによって変更されたため更新できませんでした。"
    L"ディスク上の書庫はそのプログラムが保存したままです。";
inline constexpr const wchar_t* kUnsafePath = L"展開先の外を指すパスのため展開できません。 [%ls]";
inline constexpr const wchar_t* kLinkInTheWay =
    L"シンボリックリンクがあるため展開できません。 [%ls]";
inline constexpr const wchar_t* kLinkRefused =
    L"展開先の外を指すシンボリックリンクは作成しません。 [%ls]";
inline constexpr const wchar_t* kUnsupportedMember = L"対応していない圧縮形式です。 [%ls]";
inline constexpr const wchar_t* kCannotCreateFile = L"ファイルを作成できませんでした。 [%ls]";
inline constexpr const wchar_t* kBackslashInPath = L"「\\」を含むパスは扱えません。 [%ls]";
inline constexpr const wchar_t* kPathNotUsable = L"このパスは扱えません。 [%ls]";
inline constexpr const wchar_t* kCannotCreateFolder = L"フォルダを作成できませんでした。 [%ls]";
inline constexpr const wchar_t* kCannotWriteFile = L"ファイルを書き込めませんでした。 [%ls]";
inline constexpr const wchar_t* kDeleteFailed = L"削除に失敗しました。 [%ls]";
inline constexpr const wchar_t* kAskDeleteSelected = L"選択した %d 個のファイルを削除しますか？";
inline constexpr const wchar_t* kNothingToAdd = L"追加するファイルがありません。 [%ls]";
inline constexpr const wchar_t* kSourceNotFound = L"ファイルが見つかりません。 [%ls]";
// Added to the summary when the user cancelled the work.
inline constexpr const wchar_t* kCancelledNote = L"\n（中止しました）";
inline constexpr const wchar_t* kTempUnavailable = L"一時フォルダを作成できませんでした。";
// The console's listing or reports could not be written (a full disk, for one).
inline constexpr const wchar_t* kOutputUnwritable = L"出力を書き込めませんでした。";
// Open in place found no application to take the file.
inline constexpr const wchar_t* kCannotOpenInPlace =
    L"ファイルを開くアプリケーションを起動できませんでした。 [%ls]";
// Between a symbolic link's name and its target in the list.
inline constexpr const wchar_t* kLinkArrow = L" -> ";
// Shown after a name or folder the list holds only in part.
inline constexpr const wchar_t* kCutMark = L"…";

// The typed command line.
inline constexpr const wchar_t* kInvalidCommand = L"不正なコマンドです。";
// The command-line dialog's line of help.
inline constexpr const wchar_t* kCommandLineHint =
    L"a 追加  u 更新  d 削除  e 展開  x フォルダ付き展開　例: e -x1 *.txt";
inline constexpr const wchar_t* kPathNotFound = L"指定されたパスが存在しません\n";
inline constexpr const wchar_t* kNothingNamedToAdd = L"追加するファイルが指定されていません。";
inline constexpr const wchar_t* kNothingNamedToDelete =
    L"削除するファイルが指定されていません。すべて削除するには「d *」と入力してください。";

// File dialogs.
inline constexpr const wchar_t* kNewTitle = L"新規作成";
inline constexpr const wchar_t* kAddTitle = L"追加";
inline constexpr const wchar_t* kAddFolderTitle = L"フォルダを追加";
inline constexpr const wchar_t* kNewNameExists =
    L"既に[%ls]が存在します。別の名前を指定してください。";
inline constexpr const wchar_t* kOpenFilter =
    L"LHA書庫 (*.lzh;*.lha;*.lzs;*.pma)|*.lzh;*.lha;*.lzs;*.pma|ZIP書庫 (*.zip)|*.zip|"
    L"すべてのファイル (*.*)|*.*||";
inline constexpr const wchar_t* kAllFilesFilter = L"すべてのファイル (*.*)|*.*||";

// The settings file.
inline constexpr const wchar_t* kSettingsUnreadable =
    L"設定ファイルを読み込めないため、既定の設定で動作します。ファイルは変更しません。 [%ls]";
inline constexpr const wchar_t* kSettingsNotSaved =
    L"設定ファイルに書き込めないため、変更した設定は保存されません。 [%ls]";

// Well-known folders.
inline constexpr const wchar_t* kMyDocuments = L"\\My Documents\\";
inline constexpr const wchar_t* kDesktop = L"\\Windows\\デスクトップ\\";
inline constexpr const wchar_t* kTemp = L"\\Temp";

// List columns, by index.
inline constexpr const wchar_t* kColumnTitles[9] = {L"ファイル名", L"サイズ",       L"圧縮サイズ",
                                                    L"圧縮率",     L"最終更新日時", L"属性",
                                                    L"CRC",        L"メソッド",     L"パス"};
inline constexpr const wchar_t* kFolderRow = L"<DIR>";

// The status line.
inline constexpr const wchar_t* kStatusIdle = L"レディ";
inline constexpr const wchar_t* kStatusMembers = L"%ls 個のファイル  %ls バイト";
inline constexpr const wchar_t* kStatusSelected =
    L"%ls 個を選択  %ls バイト (全 %ls 個  %ls バイト)";

// Application.
inline constexpr const wchar_t* kRegistryKey = L"Quillmar Software";
inline constexpr const wchar_t* kAppName = L"Tavrel";
inline constexpr const wchar_t* kSettingsTitle = L"設定";
inline constexpr const wchar_t* kAboutCaption = L"Tavrel のバージョン情報";
inline constexpr const wchar_t* kAboutText = L"Tavrel Version 1.00";

// Extract here and several archives on the command line.
inline constexpr const wchar_t* kCannotOpenArchiveNamed = L"書庫を開けませんでした。 [%ls]";
// Added to each message when several archives are extracted: the archive it speaks of.
inline constexpr const wchar_t* kArchiveNote = L"\n[%ls]";
inline constexpr const wchar_t* kCannotOpenWindow =
    L"書庫を新しいウィンドウで開けませんでした。 [%ls]";

} // namespace res
