#include "res/Menus.h"

#include "res/Resource.h"

const std::vector<Menu>& MainMenu()
{
    static const std::vector<Menu> menu = {
        {L"ファイル(&F)",
         {{ID_FILE_NEW, L"新規作成(&N)\tCtrl+N"},
          {ID_FILE_OPEN, L"書庫を開く(&O)...\tCtrl+O"},
          {ID_ARCHIVE_CLOSE, L"書庫を閉じる(&C)\tShift+L"},
          {0, nullptr},
          {ID_APP_EXIT, L"アプリケーションの終了(&X)\tCtrl+Q"}}},
        {L"操作(&A)",
         {{ID_ARCHIVE_ADD, L"追加(&A)"},
          {ID_ARCHIVE_ADD_FOLDER, L"フォルダを追加(&F)..."},
          {ID_ARCHIVE_DELETE, L"削除(&D)"},
          {ID_EXTRACT_ALL, L"全てのファイルを展開(&E)"},
          {ID_EXTRACT_SELECTED, L"選択ファイルを展開(&S)"},
          {0, nullptr},
          {ID_ARCHIVE_TEST, L"テスト(&T)"},
          {0, nullptr},
          {ID_ARCHIVE_COMMAND_LINE, L"コマンドライン操作(&C)"}}},
        {L"オプション(&O)", {{ID_OPTION_SETTINGS, L"設定(&S)"}}},
        {L"ヘルプ(&H)", {{ID_APP_ABOUT, L"Tavrel のバージョン情報(&A)..."}}},
    };
    return menu;
}

const std::vector<MenuItem>& ListContextMenu()
{
    static const std::vector<MenuItem> menu = {{ID_OPEN_MEMBER, L"開く(&O)\tEnter"},
                                               {0, nullptr},
                                               {ID_EXTRACT_SELECTED, L"選択ファイルを展開(&S)"},
                                               {ID_EXTRACT_ALL, L"全てのファイルを展開(&E)"},
                                               {ID_ARCHIVE_TEST, L"テスト(&T)"},
                                               {0, nullptr},
                                               {ID_ARCHIVE_ADD, L"追加(&A)..."},
                                               {ID_ARCHIVE_DELETE, L"削除(&D)\tDelete"},
                                               {0, nullptr},
                                               {ID_EDIT_SELECT_ALL, L"すべて選択(&L)\tCtrl+A"}};
    return menu;
}

const std::vector<Accelerator>& MainAccelerators()
{
    // Ctrl+A, Delete and Enter act on the list's rows. The menu's "Shift+L" is a hint only: a
    // capital L typed to find a member must not close the archive.
    static const std::vector<Accelerator> accelerators = {
        {kAccelCtrl, L'N', ID_FILE_NEW},    {kAccelCtrl, L'O', ID_FILE_OPEN},
        {kAccelCtrl, L'Q', ID_APP_EXIT},    {kAccelCtrl, L'A', ID_EDIT_SELECT_ALL},
        {0, kKeyDelete, ID_ARCHIVE_DELETE}, {0, kKeyReturn, ID_OPEN_MEMBER}};
    return accelerators;
}

const std::vector<CommandBarEntry>& MainCommandBar()
{
    static const std::vector<CommandBarEntry> bar = {{-1, 0},
                                                     {0, ID_FILE_NEW},
                                                     {1, ID_FILE_OPEN},
                                                     {-1, 0},
                                                     {2, ID_ARCHIVE_ADD},
                                                     {3, ID_EXTRACT_ALL},
                                                     {4, ID_EXTRACT_SELECTED},
                                                     {-1, 0},
                                                     {5, ID_APP_ABOUT},
                                                     {-1, 0}};
    return bar;
}

const wchar_t* CommandString(int id)
{
    switch (id) {
    case ID_FILE_NEW:
        return L"新規にファイルを作成\n新規ファイル";
    case ID_FILE_OPEN:
        return L"既存のファイルを開く\n開く";
    case ID_APP_ABOUT:
        return L"プログラムの情報、バージョン番号そして著作権を表示\nバージョン情報";
    case ID_APP_EXIT:
        return L"アプリケーションを終了し、ファイルの保存を指示\n終了";
    case ID_ARCHIVE_ADD:
        return L"書庫にファイルを追加\n追加";
    case ID_EXTRACT_ALL:
        return L"書庫のすべてのファイルを展開\n全てのファイルを展開";
    case ID_EXTRACT_SELECTED:
        return L"選択したファイルを展開\n選択ファイルを展開";
    default:
        return nullptr;
    }
}
