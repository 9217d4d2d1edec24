#pragma once
// FAbout: the about box with the product name and version, the maker's
// notices and a link to the maker's website.

#include <QDialog>

class QLabel;
class QPushButton;

namespace sorlix::ui {

class FAbout : public QDialog {
    Q_OBJECT
public:
    explicit FAbout(QWidget* parent = nullptr);

    // The maker's website that the link and the picture open.
    static const char* const kWebsite;

    // The controls, for the program's tests.
    QLabel* nameLabel() const { return lblName_; }
    QLabel* websiteLabel() const { return lblVisitWebsite_; }
    QLabel* picture() const { return Image1_; }
    QPushButton* okButton() const { return cmdOK_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenWebsite();

    QLabel* lblName_ = nullptr;
    QLabel* lblVisitWebsite_ = nullptr;
    QLabel* Image1_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
};

} // namespace sorlix::ui
