// The comment columns: their headers and texts, and the two dialogs that edit them.
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "comments/CommentColumns.h"
#include "comments/dlgAdditionalComments.h"
#include "comments/dlgHeaderText.h"
#include "dialogs/dlgYesNo.h"
#include "support/SettingsStore.h"
#include "tests/common/ModalHelper.h"

class TestComments : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<support::SettingsStore> m_store;
    int m_storeNumber = 0;

private slots:
    void init()
    {
        m_store = std::make_unique<support::SettingsStore>(
            m_dir.filePath(QStringLiteral("settings%1.ini").arg(++m_storeNumber)));
    }
    void cleanup() { testing::VerifyAllAnswered(); }

    // Column 1 is "Comment" while the store holds no headers; a header stored empty stays empty.
    // Texts count up to the last one in use, blanks included; columns outside 1 to 7 are never kept.
    void commentCounting()
    {
        CommentColumns c(*m_store);
        c.LoadCommentHeaders();
        QCOMPARE(c.HeadersInUse(), QStringList{QStringLiteral("Comment")});
        m_store->SaveSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment1"), QString());
        m_store->SaveSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment3"), QStringLiteral("Batch"));
        c.LoadCommentHeaders();
        QCOMPARE(c.HeadersInUse(), QStringList({QString(), QString(), QStringLiteral("Batch")}));

        c.ClearCommentTexts();
        for (int k : {0, 2, 8}) c.SetCommentText(k, QStringLiteral(" "));
        c.CountCommentTexts();
        QCOMPARE(c.TextsInUse(), QStringList({QString(), QStringLiteral(" ")}));
        QCOMPARE(c.CommentText(0) + c.CommentText(8), QString());
        c.SetCommentText(2, QString());
        c.CountCommentTexts();
        QCOMPARE(c.CommentTextCount, int16_t(0));
    }

    void commentDialogs()
    {
        // A line break typed or pasted into a box becomes a blank.
        dlgAdditionalComments boxes;
        boxes.Data4Txt->setText(QStringLiteral("one\r\ntwo\nthree"));
        QCOMPARE(boxes.Data4Txt->text(), QStringLiteral("one two three"));
        boxes.Data4Txt->insert(QStringLiteral(" pasted\u2029line"));
        QCOMPARE(boxes.Data4Txt->text(), QStringLiteral("one two three pasted line"));
        // The header dialog is given every header, the first and the seventh too.
        for (int k = 1; k <= 7; ++k) boxes.CHdrText(k) = QStringLiteral("Header %1").arg(k);
        testing::WhenModal([](QWidget* w) { testing::Click(w, QStringLiteral("YesButton")); },
                           QStringLiteral("Change Column Header Text"));
        testing::WhenModal(
            [](QWidget* w) {
                auto* d = qobject_cast<dlgHeaderText*>(w);
                QCOMPARE(d->HdrTxt1TxtBx->text(), QStringLiteral("Header 1"));
                QCOMPARE(d->HdrTxt7TxtBx->text(), QStringLiteral("Header 7"));
                testing::Click(w, QStringLiteral("CancelButton"));
            },
            QStringLiteral("Data Header Text"));
        boxes.HeaderBtn->click();

        CommentColumns c(*m_store);
        c.LoadCommentHeaders();
        c.ClearCommentTexts();
        c.SetCommentText(3, QStringLiteral("old three"));
        // OK takes the trimmed texts of columns 2 to 7; the dialog shows what it was given.
        testing::WhenModal(
            [](QWidget* w) {
                auto* d = qobject_cast<dlgAdditionalComments*>(w);
                QVERIFY(d);
                QCOMPARE(d->Data3Txt->text(), QStringLiteral("old three"));
                for (auto* box : d->findChildren<QLineEdit*>())
                    QVERIFY2(!box->accessibleName().isEmpty(), qPrintable(box->objectName()));
                testing::TypeInto(w, QStringLiteral("Data3Txt"), QString());
                testing::TypeInto(w, QStringLiteral("Data5Txt"), QStringLiteral("  five, \"5\"  "));
                testing::Click(w, QStringLiteral("OKButton"));
            },
            QStringLiteral("Additional Comment Fields"));
        QFile::remove(m_store->FilePath());
        c.CommentBtnCommand(nullptr);
        QCOMPARE(c.TextsInUse(),
                 QStringList({QString(), QString(), QString(), QString(), QStringLiteral("five, \"5\"")}));
        QVERIFY(!QFileInfo::exists(m_store->FilePath()));  // the headers were not touched, so nothing was saved

        // Cancel keeps the texts, but headers changed through the header dialog stand. No to the
        // warning shows no header dialog; the next click in the same showing is not warned again.
        testing::WhenModal(
            [](QWidget* w) {
                testing::TypeInto(w, QStringLiteral("Data2Txt"), QStringLiteral("dropped"));
                QTimer::singleShot(0, w, [w] { testing::Click(w, QStringLiteral("HeaderBtn")); });
            },
            QStringLiteral("Additional Comment Fields"));
        testing::WhenModal(
            [](QWidget* w) {
                QVERIFY(!qobject_cast<dlgYesNo*>(w)->CancelButton->isVisible());
                testing::Click(w, QStringLiteral("NoButton"));
                QTimer::singleShot(
                    0, [] { testing::Click(QApplication::activeModalWidget(), QStringLiteral("HeaderBtn")); });
            },
            QStringLiteral("Change Column Header Text"));
        testing::WhenModal(
            [](QWidget* w) {
                QCOMPARE(qobject_cast<dlgHeaderText*>(w)->HdrTxt1TxtBx->text(), QStringLiteral("Comment"));
                testing::TypeInto(w, QStringLiteral("HdrTxt1TxtBx"), QStringLiteral(" Sample "));
                testing::TypeInto(w, QStringLiteral("HdrTxt4TxtBx"), QStringLiteral("Batch, lot"));
                testing::Click(w, QStringLiteral("OKButton"));
                QTimer::singleShot(0, [] {
                    auto* outer = qobject_cast<dlgAdditionalComments*>(QApplication::activeModalWidget());
                    QVERIFY(outer);
                    outer->CancelButton->click();
                });
            },
            QStringLiteral("Data Header Text"));
        c.CommentBtnCommand(nullptr);
        QCOMPARE(c.CommentText(2), QString());
        QCOMPARE(c.HeadersInUse(),
                 QStringList({QStringLiteral("Sample"), QString(), QString(), QStringLiteral("Batch, lot")}));
        support::SettingsStore reread(m_store->FilePath());
        QCOMPARE(reread.Keys(QStringLiteral("UserComments")).size(), 7);
        QCOMPARE(reread.GetSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment1")),
                 QStringLiteral("Sample"));
    }
};

QTEST_MAIN(TestComments)
#include "tst_comments.moc"
