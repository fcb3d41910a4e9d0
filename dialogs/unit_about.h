// TfrmAbout: the About box. A small modal dialog with a banner, the program's file version, the
// maker's web-site link and its company notice. Its texts are set on every showing, so a language
// picked meanwhile shows at the next opening. Open it with
//     TfrmAbout about(language, owner);
//     about.exec();
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kestrel::config {
class TLanguage;
}

namespace kestrel::dialogs {

// The address the link shows and opens.
inline constexpr char kWebsiteAddress[] = "https://brindleco.example/";

// The banner: a picture across the top of the dialog. A left-button press on it drags the dialog as
// its title bar would; other buttons do nothing.
class TZevImage : public QWidget {
    Q_OBJECT
public:
    explicit TZevImage(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_logo;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    // programFile is the file whose "FileVersion" the dialog shows; empty: the running program.
    // language must outlive the dialog.
    explicit TfrmAbout(const config::TLanguage& language, QWidget* parent = nullptr,
                       const QString& programFile = {});

    // Sets the title and the labels from the text catalogue and reads the version.
    void InitLanguages();

    // Opens the web site in the desktop's default browser.
    void labWebsiteClick();

    TZevImage* imgAbout = nullptr;
    QLabel* labVersionInformation = nullptr;
    QLabel* labWebsiteInformation = nullptr;
    QLabel* labWebsite = nullptr;
    QLabel* labCompanyInformation = nullptr;
    QPushButton* btnOK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    const config::TLanguage& m_language;
    QString m_programFile;
};

} // namespace kestrel::dialogs
