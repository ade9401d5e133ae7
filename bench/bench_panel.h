#pragma once

#include <QWidget>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace vantorel::bench {

class BenchControl;

// The bench beside the station window: a Plug button per emulated handset with its port,
// the slot it landed in, boot-loader versions and fault, what the handset does now and what
// it has flashed; the external handsets; and the speed of protocol time.
class BenchPanel : public QWidget {
    Q_OBJECT

public:
    explicit BenchPanel(BenchControl& control, QWidget* parent = nullptr);

    // Reads the bench again; a timer does it while the panel shows.
    void Refresh();

    QPushButton* PlugButton(int row) const { return m_rows[row].plug; }
    QComboBox* SpeedBox() const { return m_speed; }

signals:
    // The operator closed the panel: the station is to close with it.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Row {
        QPushButton* plug = nullptr;
        QLabel* port = nullptr;
        QLabel* slot = nullptr;
        QSpinBox* protocolVersion = nullptr;
        QLineEdit* bootLoaderVersion = nullptr;
        QComboBox* fault = nullptr;
        QLabel* now = nullptr;  // what it does now and what it has flashed
    };

    QWidget* BuildHandsetTable();
    QWidget* BuildExternalList();
    void OnPlugClicked(int row);
    void OnSetupEdited(int row);
    void OnSpeedChosen(int index);
    void SelectSpeed(double scale);
    void ShowNote(const QString& text, bool bError);

    BenchControl& m_control;
    std::vector<Row> m_rows;
    std::vector<QLabel*> m_external;
    QComboBox* m_speed = nullptr;
    QLabel* m_note = nullptr;
    QTimer* m_refresh = nullptr;
};

}  // namespace vantorel::bench
