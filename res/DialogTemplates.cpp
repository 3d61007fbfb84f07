#include "res/DialogTemplates.h"

#include "res/Resource.h"
#include "res/Strings.h"

namespace
{

using K = ControlKind;

const std::vector<DialogTemplate>& Templates()
{
    static const std::vector<DialogTemplate> templates = {
        {IDD_ABOUTBOX,
         res::kAboutCaption,
         120,
         40,
         false,
         false,
         {{-1, K::Icon, L"", 7, 7, 21, 20}, {-1, K::Static, res::kAboutText, 34, 14, 80, 8}}},
        {IDD_OPTION_VIEW,
         L"表示",
         160,
         136,
         false,
         true,
         {{-1, K::GroupBox, L"項目", 7, 3, 146, 64},
          {1001, K::CheckBox, L"サイズ", 14, 14, 64, 10},
          {1002, K::CheckBox, L"圧縮サイズ", 14, 27, 64, 10},
          {1003, K::CheckBox, L"圧縮率", 14, 40, 64, 10},
          {1004, K::CheckBox, L"最終更新日時", 14, 53, 64, 10},
          {1005, K::CheckBox, L"属性", 84, 14, 64, 10},
          {1006, K::CheckBox, L"CRC", 84, 27, 64, 10},
          {1007, K::CheckBox, L"メソッド", 84, 40, 64, 10},
          {1008, K::CheckBox, L"パス", 84, 53, 64, 10},
          {-1, K::GroupBox, L"一覧", 7, 71, 146, 26},
          {1009, K::CheckBox, L"フォルダを表示する", 14, 82, 120, 10},
          {-1, K::GroupBox, L"ファイル名の文字コード", 7, 101, 146, 29},
          {1029, K::DropDownList, L"", 14, 112, 132, 50}}},
        {IDD_OPTION_EXTRACT,
         L"展開",
         160,
         110,
         false,
         true,
         {{1001, K::CheckBox, L"書庫と同名のフォルダを作成", 7, 7, 146, 10},
          {1002, K::CheckBox, L"フォルダ付きで展開", 7, 20, 146, 10},
          {-1, K::GroupBox, L"上書き確認", 7, 34, 146, 44},
          {1010, K::RadioButton, L"常にする", 14, 46, 120, 10, true, true},
          {1011, K::RadioButton, L"新しいファイルのみ", 14, 56, 120, 10},
          {1012, K::RadioButton, L"しない", 14, 66, 120, 10},
          {1003, K::CheckBox, L"読み取り専用属性を解除", 7, 82, 146, 10, true, true},
          {1004, K::CheckBox, L"ファイル名をすべて小文字にする", 7, 94, 146, 10}}},
        {IDD_OPTION_FOLDER,
         L"フォルダ",
         160,
         130,
         false,
         true,
         {{-1, K::GroupBox, L"書庫選択フォルダ", 7, 4, 146, 56},
          {1010, K::RadioButton, L"My Documents", 14, 14, 120, 10, true, true},
          {1011, K::RadioButton, L"最後に開いたフォルダ", 14, 24, 120, 10},
          {1012, K::RadioButton, L"指定フォルダ", 14, 34, 120, 10},
          {1025, K::Edit, L"", 14, 45, 98, 12, true, true},
          {-1, K::BrowseButton, L"参照...", 114, 45, 32, 12, true, false, 1025},
          {-1, K::GroupBox, L"書庫展開フォルダ", 7, 62, 146, 64},
          {1016, K::RadioButton, L"My Documents", 14, 72, 120, 10, true, true},
          {1017, K::RadioButton, L"最後に開いたフォルダ", 14, 82, 120, 10},
          {1018, K::RadioButton, L"デスクトップ", 14, 92, 120, 10},
          {1019, K::RadioButton, L"指定フォルダ", 14, 102, 120, 10},
          {1021, K::Edit, L"", 14, 112, 98, 12, true, true},
          {-1, K::BrowseButton, L"参照...", 114, 112, 32, 12, true, false, 1021}}},
        {IDD_COMMAND_LINE,
         L"コマンドライン処理",
         202,
         56,
         false,
         false,
         {{IDC_COMMAND, K::ComboBox, L"", 7, 13, 128, 54},
          {-1, K::Static, res::kCommandLineHint, 7, 42, 188, 8},
          {1, K::DefaultButton, L"OK", 145, 7, 50, 14},
          {2, K::Button, L"キャンセル", 145, 24, 50, 14}}},
        {IDD_OPTION_COMPRESS,
         L"圧縮",
         160,
         70,
         false,
         true,
         {{-1, K::GroupBox, L"LHA", 7, 7, 146, 56},
          {-1, K::Static, L"圧縮法", 14, 21, 40, 8},
          {1027, K::DropDownList, L"", 60, 19, 86, 60},
          {-1, K::Static, L"操作", 14, 41, 40, 8},
          {1028, K::DropDownList, L"", 60, 39, 86, 40}}},
        {IDD_ARCHIVE_BAR,
         L"",
         441,
         16,
         false,
         true,
         {{-1, K::Static, L"書庫名", 4, 4, 28, 8},
          {IDC_TEXT, K::ReadOnlyEdit, L"", 34, 2, 403, 12}}},
        {IDD_PASSWORD,
         L"パスワードの入力",
         169,
         51,
         false,
         false,
         {{IDC_TEXT, K::PasswordEdit, L"", 7, 7, 95, 12},
          {1, K::DefaultButton, L"OK", 112, 7, 50, 14},
          {2, K::Button, L"キャンセル", 112, 24, 50, 14}}},
        {IDD_EXTRACT_DEST,
         L"展開先の指定",
         207,
         68,
         false,
         false,
         {{IDC_TEXT, K::Edit, L"", 7, 7, 103, 12},
          {-1, K::BrowseButton, L"参照...", 112, 7, 32, 12, true, false, IDC_TEXT},
          {IDC_CREATE_FOLDER, K::CheckBox, L"書庫と同名のフォルダを作成", 7, 26, 137, 10},
          {IDC_USE_FOLDER, K::CheckBox, L"フォルダ付きで展開", 7, 40, 137, 10},
          {1, K::DefaultButton, L"OK", 150, 7, 50, 14},
          {2, K::Button, L"キャンセル", 150, 24, 50, 14}}},
        {IDD_PROGRESS,
         L"進行状況",
         159,
         46,
         true,
         false,
         {{IDC_PROGRESS, K::ProgressBar, L"", 14, 7, 131, 9},
          {IDC_TEXT, K::ReadOnlyEdit, L"", 15, 19, 109, 12},
          {2, K::Button, L"キャンセル", 128, 17, 24, 14, false},
          {IDC_BYTES, K::Static, L"", 15, 33, 109, 8}}},
    };
    return templates;
}

} // namespace

const std::vector<DialogTemplate>& AllDialogTemplates()
{
    return Templates();
}

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& t : Templates()) {
        if (t.id == id) {
            return &t;
        }
    }
    return nullptr;
}

const std::vector<const wchar_t*>& CompressMethodItems()
{
    static const std::vector<const wchar_t*> items = {L"-lh0-（無圧縮）", L"-lh5-", L"-lh6-",
                                                      L"-lh7-"};
    return items;
}

const std::vector<const wchar_t*>& NameEncodingItems()
{
    static const std::vector<const wchar_t*> items = {L"自動", L"シフトJIS", L"UTF-8"};
    return items;
}

const std::vector<const wchar_t*>& CompressActionItems()
{
    static const std::vector<const wchar_t*> items = {L"追加", L"更新"};
    return items;
}
