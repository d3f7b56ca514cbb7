#include "platform/linux/XClipboard.h"

#include <algorithm>

namespace {

// A clipboard bigger than this is not kept whole: the formats beyond it are dropped.
constexpr qsizetype snapshotLimit = 64 * 1024 * 1024;

const QByteArray utf8String = QByteArrayLiteral("UTF8_STRING");
const QByteArray utf8PlainText = QByteArrayLiteral("text/plain;charset=utf-8");

// Data formats are named like MIME types; the text targets are kept too. Everything else
// (TARGETS, TIMESTAMP, MULTIPLE, SAVE_TARGETS, PIXMAP, TEXT, …) is protocol, answered anew
// by whoever owns the clipboard.
bool isKeptFormat(const QByteArray& name)
{
    return name.contains('/') || name == utf8String || name == "STRING";
}

bool isImage(const QByteArray& name)
{
    return name.startsWith("image/");
}

}

XClipboard::XClipboard()
{
    if (!m_reader.isValid())
        return;
    m_clipboard = m_reader.atom("CLIPBOARD");
    m_utf8String = m_reader.atom(utf8String.constData());
    m_utf8PlainText = m_reader.atom(utf8PlainText.constData());
    m_plainText = m_reader.atom("text/plain");
}

Clipboard::Snapshot XClipboard::snapshot()
{
    Snapshot formats;
    if (!m_reader.isValid())
        return formats;
    QList<QPair<xcb_atom_t, QByteArray>> offered;
    for (const xcb_atom_t target : m_reader.targets(m_clipboard)) {
        const QByteArray name = m_reader.atomName(target);
        if (isKeptFormat(name))
            offered.append({target, name});
    }
    // One image format is enough: the others are conversions of the same picture.
    const bool hasPng =
        std::any_of(offered.cbegin(), offered.cend(), [](const auto& f) { return f.second == "image/png"; });
    bool imageKept = false;
    qsizetype total = 0;
    for (const auto& [target, name] : std::as_const(offered)) {
        if (isImage(name) && (hasPng ? name != "image/png" : imageKept))
            continue;
        const std::optional<QByteArray> data = m_reader.read(m_clipboard, target);
        if (!data || total + data->size() > snapshotLimit)
            continue;
        total += data->size();
        imageKept = imageKept || isImage(name);
        formats.append({QString::fromLatin1(name), *data});
    }
    return formats;
}

void XClipboard::own(const Snapshot& formats)
{
    QList<XSelectionOwner::Target> targets;
    for (const Format& format : formats)
        targets.append({m_reader.atom(format.type.toLatin1().constData()), format.data});
    m_owner.own(m_clipboard, std::move(targets), m_reader.serverTime());
}

void XClipboard::restore(const Snapshot& snapshot)
{
    if (m_reader.isValid())
        own(snapshot);
}

void XClipboard::setText(const QString& text)
{
    if (!m_reader.isValid())
        return;
    const QByteArray utf8 = text.toUtf8();
    own({{QString::fromLatin1(utf8String), utf8},
         {QString::fromLatin1(utf8PlainText), utf8},
         {QStringLiteral("text/plain"), utf8}});
}

std::optional<QString> XClipboard::textOf(xcb_atom_t selection)
{
    if (!m_reader.isValid())
        return std::nullopt;
    // Asking for the list first costs one round trip but only one wait for an owner that hangs.
    const QList<xcb_atom_t> offered = m_reader.targets(selection);
    for (const xcb_atom_t target : {m_utf8String, m_utf8PlainText, m_plainText}) {
        if (offered.contains(target)) {
            if (const std::optional<QByteArray> data = m_reader.read(selection, target))
                return QString::fromUtf8(*data);
        }
    }
    if (offered.contains(XCB_ATOM_STRING)) {
        if (const std::optional<QByteArray> data = m_reader.read(selection, XCB_ATOM_STRING))
            return QString::fromLatin1(*data);
    }
    return std::nullopt;
}

std::optional<QString> XClipboard::text()
{
    return textOf(m_clipboard);
}

QString XClipboard::selectionText()
{
    return textOf(m_primary).value_or(QString());
}
