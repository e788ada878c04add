#pragma once

#include <QSettings>
#include <QString>
#include <QStringView>

#include <array>
#include <chrono>
#include <concepts>

namespace qm::store {

// The kinds of value the settings store keeps, each written as its text form.
template <typename T>
concept SettingValue = std::same_as<T, float> || std::same_as<T, qint16> || std::same_as<T, quint8>
    || std::same_as<T, qint32> || std::same_as<T, QString>;

// One key of the settings store: where it lives, how it reads and what it reads as when it is
// missing or does not parse. Every window names its keys once with one of these.
template <SettingValue T>
struct SettingKey {
    QStringView section;
    QStringView key;
    T defaultValue;
};

// The three kinds of editable body that have a font of their own, in the order of the shared
// font arrays.
enum class EditorKind { Text = 0, RichText = 1, Html = 2 };
constexpr int EditorKindCount = 3;

// The options every window shares, read once when the main window loads.
struct SharedOptions {
    quint8 BrowserInMdi = 0;
    quint8 ViewerWindowState = 0;
    std::array<QString, EditorKindCount> EditorFontNames;
    std::array<float, EditorKindCount> EditorFontSizes{};
};

// The keys under which a top-level window keeps its normal place, size and state. A window that
// is always put where the window manager chooses (the result list) has no place keys.
struct PlacementKeys {
    const SettingKey<float> *left = nullptr;
    const SettingKey<float> *top = nullptr;
    const SettingKey<float> &width;
    const SettingKey<float> &height;
    const SettingKey<qint16> &state;
};

namespace keys {

// The Windows font the program names by default (MS P Gothic, in full-width letters and
// katakana as Windows spells it); the program maps it to an installed Japanese font.
inline const QString DefaultFontName = QStringLiteral("\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF");

namespace MainWindow {
constexpr SettingKey<float> FormLeft{u"MainWindow", u"FormLeft", 1000};
constexpr SettingKey<float> FormTop{u"MainWindow", u"FormTop", 1000};
constexpr SettingKey<float> FormWidth{u"MainWindow", u"FormWidth", 8000};
constexpr SettingKey<float> FormHeight{u"MainWindow", u"FormHeight", 6000};
constexpr SettingKey<qint16> WindowState{u"MainWindow", u"WindowState", 0};
constexpr SettingKey<quint8> HTMLMode{u"MainWindow", u"HTMLMode", 0};
constexpr SettingKey<quint8> MDIWindowState{u"MainWindow", u"MDIWindowState", 0};
// Whether the toolbar and the status bar are shown: 1 shown, 0 hidden.
constexpr SettingKey<quint8> ShowToolBar{u"MainWindow", u"ShowToolBar", 1};
constexpr SettingKey<quint8> ShowStatusBar{u"MainWindow", u"ShowStatusBar", 1};
constexpr PlacementKeys Placement{&FormLeft, &FormTop, FormWidth, FormHeight, WindowState};
} // namespace MainWindow

// "FontName" and "FontSize" of the sections "Text", "RichText" and "HTML".
const SettingKey<QString> &FontName(EditorKind kind);
const SettingKey<float> &FontSize(EditorKind kind);

// The entry editors (both windows share these keys).
namespace EditWindow {
constexpr SettingKey<float> FormLeft{u"EditWindow", u"FormLeft", 1000};
constexpr SettingKey<float> FormTop{u"EditWindow", u"FormTop", 1000};
constexpr SettingKey<float> FormWidth{u"EditWindow", u"FormWidth", 8000};
constexpr SettingKey<float> FormHeight{u"EditWindow", u"FormHeight", 6000};
constexpr SettingKey<qint16> WindowState{u"EditWindow", u"WindowState", 0};
constexpr SettingKey<float> Separator{u"EditWindow", u"Separator", 2000};
constexpr PlacementKeys Placement{&FormLeft, &FormTop, FormWidth, FormHeight, WindowState};
} // namespace EditWindow

// The result list.
namespace SearchIndexList {
constexpr SettingKey<qint16> WindowState{u"SearchIndexList", u"WindowState", 0};
constexpr SettingKey<float> FormWidth{u"SearchIndexList", u"FormWidth", 5500};
constexpr SettingKey<float> FormHeight{u"SearchIndexList", u"FormHeight", 4000};
constexpr SettingKey<float> KeyWordWidth{u"SearchIndexList", u"KeyWordWidth", 2000};
constexpr SettingKey<float> HeadingWidth{u"SearchIndexList", u"HeadingWidth", 2500};
constexpr SettingKey<float> DictionaryWidth{u"SearchIndexList", u"DictionaryWidth", 2000};
constexpr PlacementKeys Placement{nullptr, nullptr, FormWidth, FormHeight, WindowState};
} // namespace SearchIndexList

// The heading grid.
namespace DataGrid {
constexpr SettingKey<qint16> WindowState{u"DataGrid", u"WindowState", 0};
constexpr SettingKey<float> FormLeft{u"DataGrid", u"FormLeft", 1000};
constexpr SettingKey<float> FormTop{u"DataGrid", u"FormTop", 1000};
constexpr SettingKey<float> FormWidth{u"DataGrid", u"FormWidth", 8000};
constexpr SettingKey<float> FormHeight{u"DataGrid", u"FormHeight", 6000};
constexpr SettingKey<float> Columns0{u"DataGrid", u"Columns0", 2500};
constexpr SettingKey<float> Columns1{u"DataGrid", u"Columns1", 720};
constexpr SettingKey<float> Columns2{u"DataGrid", u"Columns2", 1700};
constexpr PlacementKeys Placement{&FormLeft, &FormTop, FormWidth, FormHeight, WindowState};
} // namespace DataGrid

// The backup and restore window.
namespace BackupWindow {
constexpr SettingKey<qint16> WindowState{u"BackupWindow", u"WindowState", 0};
constexpr SettingKey<float> FormLeft{u"BackupWindow", u"FormLeft", 1200};
constexpr SettingKey<float> FormTop{u"BackupWindow", u"FormTop", 1200};
constexpr SettingKey<float> FormWidth{u"BackupWindow", u"FormWidth", 10000};
constexpr SettingKey<float> FormHeight{u"BackupWindow", u"FormHeight", 6000};
constexpr PlacementKeys Placement{&FormLeft, &FormTop, FormWidth, FormHeight, WindowState};
} // namespace BackupWindow

// Automatic backups of the dictionaries: on or off, the folder (empty: the per-user data
// folder's "backups"), and how many daily and weekly generations are kept.
namespace Backup {
constexpr SettingKey<quint8> Enabled{u"Backup", u"Enabled", 1};
inline const SettingKey<QString> Folder{u"Backup", u"Folder", QString()};
constexpr SettingKey<qint16> DailyGenerations{u"Backup", u"DailyGenerations", 7};
constexpr SettingKey<qint16> WeeklyGenerations{u"Backup", u"WeeklyGenerations", 4};
} // namespace Backup

// Dictionaries on a server: how many seconds connecting may take before the server counts as
// unreachable.
namespace Server {
constexpr SettingKey<qint16> ConnectTimeout{u"Server", u"ConnectTimeout", 5};
} // namespace Server

} // namespace keys

// The per-user settings store of organisation and application "Quillmere". Values are kept as
// text (numbers in decimal form); a stored value that is not a valid text of its key's type
// reads as the key's default.
class Settings final
{
public:
    Settings();
    ~Settings();
    Q_DISABLE_COPY_MOVE(Settings)

    // Generic access for any key, including the sections of single windows.
    template <SettingValue T>
    T value(const SettingKey<T> &key) const;
    template <SettingValue T>
    void setValue(const SettingKey<T> &key, const T &value);

    // "MainWindow": the main window's placement in twips and its state.
    float formLeft() const { return value(keys::MainWindow::FormLeft); }
    void setFormLeft(float twips) { setValue(keys::MainWindow::FormLeft, twips); }
    float formTop() const { return value(keys::MainWindow::FormTop); }
    void setFormTop(float twips) { setValue(keys::MainWindow::FormTop, twips); }
    float formWidth() const { return value(keys::MainWindow::FormWidth); }
    void setFormWidth(float twips) { setValue(keys::MainWindow::FormWidth, twips); }
    float formHeight() const { return value(keys::MainWindow::FormHeight); }
    void setFormHeight(float twips) { setValue(keys::MainWindow::FormHeight, twips); }
    qint16 windowState() const { return value(keys::MainWindow::WindowState); }
    void setWindowState(qint16 state) { setValue(keys::MainWindow::WindowState, state); }
    // "HTMLMode" (BrowserInMdi) and "MDIWindowState" (ViewerWindowState).
    quint8 htmlMode() const { return value(keys::MainWindow::HTMLMode); }
    void setHtmlMode(quint8 mode) { setValue(keys::MainWindow::HTMLMode, mode); }
    quint8 mdiWindowState() const { return value(keys::MainWindow::MDIWindowState); }
    void setMdiWindowState(quint8 state) { setValue(keys::MainWindow::MDIWindowState, state); }

    // "FontName" and "FontSize" of "Text", "RichText" and "HTML".
    QString fontName(EditorKind kind) const { return value(keys::FontName(kind)); }
    void setFontName(EditorKind kind, const QString &name) { setValue(keys::FontName(kind), name); }
    float fontSize(EditorKind kind) const { return value(keys::FontSize(kind)); }
    void setFontSize(EditorKind kind, float points) { setValue(keys::FontSize(kind), points); }

    // "Server" "ConnectTimeout", within the bounds the Options window offers.
    static constexpr std::chrono::seconds MinServerTimeout{1};
    static constexpr std::chrono::seconds MaxServerTimeout{300};
    std::chrono::seconds serverTimeout() const
    {
        const qint64 seconds = value(keys::Server::ConnectTimeout);
        return std::chrono::seconds(qBound(MinServerTimeout.count(), seconds, MaxServerTimeout.count()));
    }

    // The shared options as the store holds them now.
    SharedOptions readSharedOptions() const;
    // What the options dialog changes: the browser choice and the three editor fonts.
    void writeOptions(const SharedOptions &options);

    // Writes pending changes to disk.
    void sync();

private:
    QString rawValue(QStringView section, QStringView key, bool *present) const;
    void setRawValue(QStringView section, QStringView key, const QString &text);

    mutable QSettings m_store;
};

} // namespace qm::store
