#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace vantorel::console {

// The dialog's controls by numeric id.
class ControlRegistry {
public:
    // Registers `widget` under `id` (its object name becomes "IDC_<id>"). An id is
    // registered once; a second registration is refused.
    bool Add(int id, QWidget* widget);
    // The control, or nullptr for an id that has none.
    QWidget* Get(int id) const;
    template <typename Widget>
    Widget* As(int id) const {
        return qobject_cast<Widget*>(Get(id));
    }
    size_t Count() const { return m_controls.size(); }

    void Enable(int id, bool bEnable) const;
    void Enable(std::span<const int> ids, bool bEnable) const;
    void Show(int id, bool bShow) const;
    QString Text(int id) const;
    void SetText(int id, const QString& text) const;

private:
    std::unordered_map<int, QWidget*> m_controls;
};

// Members bound to controls: one call copies every member into its control, the other
// copies the controls back into the members.
class DataExchange {
public:
    // A check box: 1 checked, 0 not.
    void BindCheck(int id, int32_t* member);
    // An edit or a static text.
    void BindText(int id, std::string* member);

    void ToControls(const ControlRegistry& controls) const;
    void FromControls(const ControlRegistry& controls) const;

private:
    std::vector<std::pair<int, int32_t*>> m_checks;
    std::vector<std::pair<int, std::string*>> m_texts;
};

}  // namespace vantorel::console
