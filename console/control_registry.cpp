#include "console/control_registry.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "link/message_sink.h"

namespace vantorel::console {

bool ControlRegistry::Add(int id, QWidget* widget) {
    if (widget == nullptr || !m_controls.emplace(id, widget).second) {
        link::WriteDiagnostic("control %d registered twice\n", id);
        return false;
    }
    widget->setObjectName(QStringLiteral("IDC_%1").arg(id));
    return true;
}

QWidget* ControlRegistry::Get(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

void ControlRegistry::Enable(int id, bool bEnable) const {
    if (QWidget* widget = Get(id)) {
        widget->setEnabled(bEnable);
    }
}

void ControlRegistry::Enable(std::span<const int> ids, bool bEnable) const {
    for (const int id : ids) {
        Enable(id, bEnable);
    }
}

void ControlRegistry::Show(int id, bool bShow) const {
    if (QWidget* widget = Get(id)) {
        widget->setVisible(bShow);
    }
}

QString ControlRegistry::Text(int id) const {
    QWidget* widget = Get(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    return {};
}

void ControlRegistry::SetText(int id, const QString& text) const {
    QWidget* widget = Get(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    }
}

void DataExchange::BindCheck(int id, int32_t* member) {
    m_checks.emplace_back(id, member);
}

void DataExchange::BindText(int id, std::string* member) {
    m_texts.emplace_back(id, member);
}

void DataExchange::ToControls(const ControlRegistry& controls) const {
    for (const auto& [id, member] : m_checks) {
        if (auto* box = controls.As<QAbstractButton>(id)) {
            box->setChecked(*member != 0);
        }
    }
    for (const auto& [id, member] : m_texts) {
        controls.SetText(id, QString::fromStdString(*member));
    }
}

void DataExchange::FromControls(const ControlRegistry& controls) const {
    for (const auto& [id, member] : m_checks) {
        if (auto* box = controls.As<QAbstractButton>(id)) {
            *member = box->isChecked() ? 1 : 0;
        }
    }
    for (const auto& [id, member] : m_texts) {
        *member = controls.Text(id).toStdString();
    }
}

}  // namespace vantorel::console
