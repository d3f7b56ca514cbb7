#include "windows/WaylandCapabilities.h"

#include "core/KeyFormatter.h"
#include "core/UsKeyLayout.h"
#include "settings/L10n.h"

namespace WaylandCapabilities {

namespace {

const QString triggerCommand = QStringLiteral("quillo --trigger");

// The key as configuration files name it: "e", "F2".
QString keyName(quint32 keyCode)
{
    return KeyFormatter::isFunctionKey(keyCode) ? KeyFormatter::displayChar(keyCode)
                                                : UsKeyLayout().characterFor(keyCode).toLower();
}

// The modifiers in Control, Alt, Shift, Super order, in the names of the desktop's file.
QStringList modifierNames(quint32 modifiers, const QStringList& names)
{
    QStringList held;
    const quint32 masks[] = {KeyFormatter::controlMask, KeyFormatter::optionMask, KeyFormatter::shiftMask,
                             KeyFormatter::commandMask};
    for (int i = 0; i < 4; ++i) {
        if (modifiers & masks[i])
            held << names[i];
    }
    return held;
}

QString shortcutAction(Desktop desktop, Shortcut shortcut)
{
    const QString keys = KeyFormatter::format(shortcut);
    switch (desktop) {
    case Desktop::gnome: return L10n::tf("wayland.shortcut.fix.gnome", {keys});
    case Desktop::kde: return L10n::tf("wayland.shortcut.fix.kde", {keys});
    case Desktop::sway: return L10n::t("wayland.shortcut.fix.sway");
    case Desktop::hyprland: return L10n::t("wayland.shortcut.fix.hyprland");
    case Desktop::other: break;
    }
    return L10n::tf("wayland.shortcut.fix.other", {keys});
}

}

QString binding(Desktop desktop, Shortcut shortcut, bool portalSession)
{
    const QString key = keyName(shortcut.keyCode);
    switch (desktop) {
    case Desktop::sway: {
        QStringList parts = modifierNames(
            shortcut.modifiers,
            {QStringLiteral("Control"), QStringLiteral("Mod1"), QStringLiteral("Shift"), QStringLiteral("Mod4")});
        parts << key;
        return QStringLiteral("bindsym %1 exec %2").arg(parts.join(QLatin1Char('+')), triggerCommand);
    }
    case Desktop::hyprland: {
        const QString mods = modifierNames(shortcut.modifiers,
                                           {QStringLiteral("CTRL"), QStringLiteral("ALT"), QStringLiteral("SHIFT"),
                                            QStringLiteral("SUPER")})
                                 .join(QLatin1Char(' '));
        return portalSession ? QStringLiteral("bind = %1, %2, global, org.quillo.Quillo:popup").arg(mods, key.toUpper())
                             : QStringLiteral("bind = %1, %2, exec, %3").arg(mods, key.toUpper(), triggerCommand);
    }
    case Desktop::gnome:
    case Desktop::kde:
    case Desktop::other: break;
    }
    return triggerCommand;
}

Row shortcutRow(const Facts& facts)
{
    using Kind = GlobalHotKeys::Road::Kind;
    Row row{"wayland.row.shortcut", {}, {}, {}, Fix::none, false};
    switch (facts.shortcutRoad.kind) {
    case Kind::keyGrab:
        row.state = L10n::tf("wayland.shortcut.grab", {KeyFormatter::format(facts.mainShortcut)});
        row.works = true;
        return row;
    case Kind::shellHelper:
        row.state = L10n::tf("wayland.shortcut.helper", {KeyFormatter::format(facts.mainShortcut)});
        row.works = true;
        return row;
    case Kind::portalPending: row.state = L10n::t("wayland.shortcut.pending"); return row;
    case Kind::portalBound:
        row.works = true;
        if (!facts.shortcutRoad.trigger.isEmpty()) {
            row.state = L10n::tf("wayland.shortcut.bound", {facts.shortcutRoad.trigger});
            return row;
        }
        // The desktop binds nothing itself (Hyprland): the user's configuration names the key.
        row.state = L10n::t("wayland.shortcut.boundUnnamed");
        break;
    case Kind::desktopBinding: row.state = L10n::t("wayland.shortcut.unbound"); break;
    }
    row.action = shortcutAction(facts.desktop, facts.mainShortcut);
    row.copyText = binding(facts.desktop, facts.mainShortcut, facts.shortcutRoad.kind == Kind::portalBound);
    row.fix = Fix::copy;
    return row;
}

Row screenTextRow(const Facts& facts)
{
    using Road = ScreenImages::Road;
    using State = ScreenImages::State;
    Row row{"wayland.row.screenText", {}, {}, {}, Fix::retryScreen, false};
    switch (facts.screenState) {
    case State::works:
        row.state = L10n::t("wayland.screen.works");
        row.fix = Fix::none;
        row.works = true;
        return row;
    case State::untried: row.state = L10n::t("wayland.screen.untried"); break;
    case State::refused: row.state = L10n::t("wayland.screen.refused"); break;
    case State::unavailable: row.state = L10n::t("wayland.screen.unavailable"); break;
    }
    const bool wlroots = facts.desktop == Desktop::sway || facts.desktop == Desktop::hyprland;
    if (facts.screenRoad == Road::portal && facts.screenState != State::unavailable) {
        row.action = L10n::t("wayland.screen.fix.portal");
        row.fix = Fix::allowScreen;
    } else if (facts.screenState == State::untried) {
        // KWin and grim need nothing from the user until they said no.
        row.fix = Fix::tryScreen;
    } else if (wlroots && facts.screenRoad != Road::grim) {
        // grim is missing: the portal was all there was, and it did not answer.
        row.action = L10n::t("wayland.screen.fix.grim");
    } else if (facts.screenRoad == Road::grim) {
        row.action = L10n::t("wayland.screen.fix.grimFailed");
    } else if (facts.screenRoad == Road::kwin) {
        row.action = L10n::t("wayland.screen.fix.kwin");
    } else {
        row.action = L10n::t("wayland.screen.fix.other");
    }
    return row;
}

Row pasteRow(const Facts& facts)
{
    if (!facts.keysOffered)
        return {"wayland.row.paste", L10n::t("wayland.paste.none"), {}, {}, Fix::none, false};
    if (facts.pasteForMe)
        return {"wayland.row.paste", L10n::t("wayland.paste.auto"), {}, {}, Fix::none, true};
    return {"wayland.row.paste", L10n::t("wayland.paste.copyOnly"), L10n::t("wayland.paste.fix"), {}, Fix::none, false};
}

QList<Row> rows(const Facts& facts)
{
    QList<Row> all{shortcutRow(facts)};
    if (facts.readsSelections)
        all.append({"wayland.row.selection", L10n::t("wayland.selection.on"), {}, {}, Fix::none, true});
    else
        all.append({"wayland.row.selection",
                    L10n::t("wayland.selection.off"),
                    L10n::t("wayland.selection.fix"),
                    {},
                    Fix::turnOnAccessibility,
                    false});
    if (facts.panelAtPointer)
        all.append({"wayland.row.placement", L10n::t("wayland.placement.pointer"), {}, {}, Fix::none, true});
    else if (facts.helper == DesktopHelper::State::off)
        all.append({"wayland.row.placement",
                    L10n::t("wayland.placement.desktop"),
                    L10n::t("wayland.placement.fix.helper"),
                    {},
                    Fix::turnOnHelper,
                    false});
    else
        all.append({"wayland.row.placement",
                    L10n::t("wayland.placement.desktop"),
                    L10n::t("wayland.placement.fix"),
                    {},
                    Fix::none,
                    false});
    if (facts.trayShown)
        all.append({"wayland.row.tray", L10n::t("wayland.tray.shown"), {}, {}, Fix::none, true});
    else
        all.append({"wayland.row.tray",
                    L10n::t("wayland.tray.missing"),
                    L10n::t(facts.desktop == Desktop::gnome ? "wayland.tray.fix.gnome" : "wayland.tray.fix.other"),
                    {},
                    Fix::none,
                    false});
    all.append(screenTextRow(facts));
    all.append(pasteRow(facts));
    return all;
}

}
