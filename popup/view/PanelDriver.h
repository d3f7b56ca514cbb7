#pragma once

#include <QString>
#include <QWidget>

#include "popup/view/PopupPanel.h"

// Works the panel through its controls as a user does, finding each by its accessible name as a
// screen reader does. The built-in end-to-end check and the panel's tests drive it this way.
// Main thread only.
class PanelDriver {
public:
    enum class Run { answered, failed, noControl, timedOut };

    explicit PanelDriver(PopupPanel& panel)
        : m_panel(panel)
    {
    }

    // The shown control of that type with that accessible name, or nullptr.
    template <typename Control>
    Control* named(const QString& name) const
    {
        QWidget* content = m_panel.content();
        if (!content)
            return nullptr;
        for (Control* control : content->findChildren<Control*>()) {
            if (control->accessibleName() == name && control->isVisibleTo(content))
                return control;
        }
        return nullptr;
    }

    // Clicks the named button and runs the event loop until the session answers or fails, or the
    // time is up; a failure's message is kept in failure().
    Run clickForAnswer(const QString& name, int timeoutMs);
    QString failure() const { return m_failure; }

private:
    PopupPanel& m_panel;
    QString m_failure;
};
