// The knowledge window driven through its widgets, offscreen, on a store in a scratch home; the
// organise run against fake_openai. NETNS.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "memory/CollectionExport.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "popup/ActionEngine.h"
#include "profile/ProfileStore.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeEngineControl.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"
#include "windows/KnowledgeListModel.h"
#include "windows/KnowledgeWindow.h"

namespace {

template <class T>
T* named(const QWidget* root, const QString& name)
{
    for (T* widget : root->findChildren<T*>()) {
        if (widget->accessibleName() == name)
            return widget;
    }
    ADD_FAILURE() << "no " << name.toStdString();
    return nullptr;
}

// Answers the next modal dialog once it is open, as the user would.
void whenModal(std::function<void(QWidget*)> answer)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->deleteLater();
            poll->stop();
            answer(modal);
        }
    });
    poll->start(10);
}

// Types the path into the next file dialog's name field and saves, as the user would.
void saveAs(const QString& path)
{
    whenModal([path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_TRUE(dialog);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog*>(dialog)->accept(); // the Save button
    });
}

class KnowledgeWindowTest : public ::testing::Test {
protected:
    ScratchHome home;
    ScopedEnv lang{"SELVANE_UI_LANG", "en"};
    ScopedEnv profile{"SELVANE_PROFILE_FILE", QFile::encodeName(home.path() + QStringLiteral("/profile.json"))};
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};
    KnowledgeStore store{home.path() + QStringLiteral("/knowledge.json"), noModels};
    std::shared_ptr<FakeEngineControl> engines = std::make_shared<FakeEngineControl>();
    TaskPool tasks{2};
    FakeClipboard clipboard;
    std::unique_ptr<KnowledgeWindow> window;

    void open()
    {
        window = std::make_unique<KnowledgeWindow>(store, tasks, std::make_shared<ClientEngine>(engines), clipboard);
        window->showAndRaise();
    }
    QString add(const QString& source, const QString& result = QStringLiteral("answer"))
    {
        return store.add(QStringLiteral("解释"), source, result, QStringLiteral("Firefox")).value();
    }
    template <class T>
    T* find(const char* name) const
    {
        return named<T>(window.get(), QString::fromLatin1(name));
    }
    QString hint() const
    {
        auto* label = find<QLabel>("knowledge-hint");
        return label->isVisible() ? label->text() : QString();
    }
    QPlainTextEdit* editor(const char* name) const { return find<QPlainTextEdit>(name); }
    QString shownSource() const
    {
        return editor("knowledge-source")->isVisible() ? editor("knowledge-source")->toPlainText() : QString();
    }
    QAbstractItemView* list() const { return find<QAbstractItemView>("knowledge-list"); }
    // Entries added within one second keep their order, so tests find rows by their text.
    int rowOf(const QString& source) const
    {
        const QAbstractItemModel* model = list()->model();
        const QModelIndexList found =
            model->match(model->index(0, 0), KnowledgeListModel::PreviewRole, source, 1, Qt::MatchExactly);
        return found.isEmpty() ? -1 : found.first().row();
    }
    void pick(const QString& source) const { list()->setCurrentIndex(list()->model()->index(rowOf(source), 0)); }
    QString firstListed() const { return store.list(KnowledgeStore::Listing::lookups, {}).first()->sourceText; }
    void search(const QString& text) const { find<QLineEdit>("knowledge-search")->setText(text); }
    void click(const char* name) const { find<QPushButton>(name)->click(); }
    // The cloud on fake_openai as the ready engine, held until the test releases "readiness".
    void useHeldCloud(const FakeOpenAIServer& cloud)
    {
        ASSERT_TRUE(cloud.isAnswering());
        useCustomCloud(cloud.endpoint(), QStringLiteral("sk-test"));
        engines->change([](FakeEngineControl::Script& script) {
            script.readiness = AIReadiness::cloudOnly;
            script.held.insert(QStringLiteral("readiness"));
        });
    }
};

TEST_F(KnowledgeWindowTest, TitleCountsTheStoreAndEmptyStatesFollowTheirOrder)
{
    open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillo · Knowledge base"));
    EXPECT_EQ(hint(), L10n::t("kw.empty.library"));
    click("knowledge-filter-collection");
    EXPECT_EQ(hint(), L10n::t("kw.empty.collectionNone")) << "the collection's own hint comes first";
    search(QStringLiteral("zzz"));
    EXPECT_EQ(hint(), L10n::t("kw.empty.noMatch"));

    add(QStringLiteral("entropy"));
    add(QStringLiteral("marginal utility"));
    search({});
    click("knowledge-filter-saved");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillo · Knowledge base (2)"));
    EXPECT_EQ(hint(), L10n::t("kw.empty.favNone"));
    click("knowledge-filter-all");
    EXPECT_EQ(hint(), QString()) << "the newest entry is shown";
    EXPECT_EQ(shownSource(), firstListed());

    // Clearing a search brings the picked entry back.
    const QString other =
        firstListed() == QStringLiteral("entropy") ? QStringLiteral("marginal utility") : QStringLiteral("entropy");
    pick(other);
    search(firstListed().left(4));
    EXPECT_EQ(shownSource(), firstListed());
    search({});
    EXPECT_EQ(shownSource(), other);
    EXPECT_EQ(list()->currentIndex().row(), rowOf(other));
}

TEST_F(KnowledgeWindowTest, LeavingAnEntryWritesOnlyWhatTheUserChanged)
{
    const QString older = add(QStringLiteral("older"));
    const QString newer = add(QStringLiteral("newer"));
    open();
    int changes = 0;
    const int listener = store.addChangeListener([&changes] { ++changes; });

    pick(QStringLiteral("older"));
    pick(QStringLiteral("newer"));
    EXPECT_EQ(changes, 0) << "an entry looked at is not rewritten";

    store.updateResult(newer, QStringLiteral("a later answer from the popup"));
    changes = 0;
    editor("knowledge-note")->setPlainText(QStringLiteral("my note"));
    pick(QStringLiteral("older"));
    EXPECT_EQ(changes, 1);
    const KnowledgeEntry stored = store.entry(newer).value();
    EXPECT_EQ(stored.note, QStringLiteral("my note"));
    EXPECT_EQ(stored.resultText, QStringLiteral("a later answer from the popup"))
        << "only the note was the user's change";
    EXPECT_EQ(store.entry(older)->note, QString());
    store.removeChangeListener(listener);

    // Leaving the editor for another control is the end of an edit too.
    ASSERT_TRUE(processEventsUntil([&] { return window->isActiveWindow(); }));
    editor("knowledge-source")->setFocus();
    editor("knowledge-source")->setPlainText(QStringLiteral("older, edited"));
    find<QLineEdit>("knowledge-search")->setFocus();
    EXPECT_EQ(store.entry(older)->sourceText, QStringLiteral("older, edited"));
}

TEST_F(KnowledgeWindowTest, AnotherProcessesChangeShowsWhileOpenAndAnEditInProgressIsKept)
{
    const QString mine = add(QStringLiteral("mine"));
    open();
    pick(QStringLiteral("mine"));
    editor("knowledge-note")->setPlainText(QStringLiteral("typing"));
    {
        // What quillo --ask does beside the tray: a store of its own on the same file.
        KnowledgeStore other(store.path(), noModels);
        ASSERT_TRUE(other.add(QStringLiteral("解释"), QStringLiteral("from the command line"), {}, {}));
    }
    ASSERT_TRUE(processEventsUntil([&] { return rowOf(QStringLiteral("from the command line")) >= 0; }, 30000));
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("(2)"))) << window->windowTitle().toStdString();
    EXPECT_EQ(shownSource(), QStringLiteral("mine"));
    EXPECT_EQ(editor("knowledge-note")->toPlainText(), QStringLiteral("typing"));
    EXPECT_EQ(store.entry(mine)->note, QStringLiteral("typing"))
        << "what the user typed is saved before the list is read again";
}

TEST_F(KnowledgeWindowTest, DeletingTheShownEntrySelectsTheFirstRowAndClearingAsksFirst)
{
    add(QStringLiteral("one"));
    const QString middle = add(QStringLiteral("two"));
    add(QStringLiteral("three"));
    open();
    pick(QStringLiteral("two"));
    click("knowledge-delete");
    EXPECT_FALSE(store.entry(middle));
    EXPECT_EQ(list()->model()->rowCount(), 2);
    EXPECT_EQ(list()->currentIndex().row(), 0);
    EXPECT_EQ(shownSource(), firstListed());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillo · Knowledge base (2)"));

    click("knowledge-clear"); // returns at once: the confirmation waits without an event loop of its own
    EXPECT_EQ(store.count(), 2) << "nothing goes before the user confirms";
    click("knowledge-clear-confirm");
    EXPECT_EQ(store.count(), 0);
}

TEST_F(KnowledgeWindowTest, ExportWritesTheWholeBaseAsJsonToTheChosenFile)
{
    add(QStringLiteral("one"));
    store.addCollection(QStringLiteral("a saved line"), QStringLiteral("Selection"), {});
    const QString path = home.path() + QStringLiteral("/export.json");
    open();
    saveAs(path);
    click("knowledge-export");
    ASSERT_TRUE(processEventsUntil([&] { return QFile::exists(path); }));
    tasks.waitForDone();
    const QJsonArray exported = QJsonDocument::fromJson(readFile(path)).array();
    QStringList sources;
    for (const QJsonValue& entry : exported)
        sources.append(entry[QStringLiteral("sourceText")].toString());
    sources.sort();
    EXPECT_EQ(sources, (QStringList{QStringLiteral("a saved line"), QStringLiteral("one")})) << "both kinds of entry";
    EXPECT_EQ(QDir(home.path()).entryList({QStringLiteral("export*")}, QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("export.json")})
        << "no temporary file is left beside it";
}

TEST_F(KnowledgeWindowTest, OrganiseSendsTheCollectionToTheReadyEngineAndSavesTheMarkdown)
{
    FakeOpenAIServer cloud;
    useHeldCloud(cloud);
    store.addCollection(QStringLiteral("读书不是为了记住"), QStringLiteral("Selection"), QStringLiteral("Okular"));
    open();
    click("knowledge-filter-collection");
    auto* button = find<QPushButton>("knowledge-export");
    button->click();
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->text(), L10n::t("kw.organize.working"));

    const QString path = home.path() + QStringLiteral("/organised.md");
    QString shown;
    whenModal([&](QWidget* modal) {
        shown = named<QPlainTextEdit>(modal, QStringLiteral("organise-result"))->toPlainText();
        saveAs(path);
        named<QPushButton>(modal, QStringLiteral("organise-save"))->click();
    });
    engines->release(QStringLiteral("readiness"));
    ASSERT_TRUE(processEventsUntil([&] { return QFile::exists(path); }));
    EXPECT_TRUE(shown.startsWith(QStringLiteral("回声：")) && shown.contains(QStringLiteral("读书不是为了记住")));
    EXPECT_EQ(QString::fromUtf8(readFile(path)), shown);
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), QStringLiteral("Organize && export")) << "drawn as one &, not a shortcut mark";
    const QList<QJsonObject> sent = cloud.bodies();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(messagesOf(sent[0]).first().content, CollectionExport::systemPrompt(true));

    engines->change([](FakeEngineControl::Script& script) { script.readiness = AIReadiness::neitherConfigured; });
    QString alert;
    whenModal([&](QWidget* modal) {
        alert = qobject_cast<QMessageBox*>(modal)->text();
        modal->close();
    });
    button->click();
    ASSERT_TRUE(processEventsUntil([&] { return !alert.isEmpty(); }));
    EXPECT_EQ(alert, L10n::t("kw.organize.notReady"));
    EXPECT_EQ(cloud.bodies().size(), 1);
}

TEST_F(KnowledgeWindowTest, TheProfileCardSwitchesRegeneratesVisiblyAndKeepsTheUsersEdit)
{
    FakeOpenAIServer cloud;
    useHeldCloud(cloud);
    for (int i = 0; i < ProfileEngine::minCountToGenerate; ++i)
        add(QStringLiteral("条目%1").arg(i));
    open();
    auto* text = find<QLabel>("profile-text");
    auto* onOff = find<QCheckBox>("profile-switch");
    auto* edit = find<QPushButton>("profile-edit");
    auto* refresh = find<QPushButton>("profile-refresh");
    EXPECT_FALSE(edit->isEnabled()) << "no profile yet";

    onOff->click();
    EXPECT_FALSE(SettingsStore::load().profileEnabled);
    EXPECT_FALSE(refresh->isEnabled());
    onOff->click();

    refresh->click();
    EXPECT_FALSE(refresh->isEnabled());
    EXPECT_EQ(text->toolTip(), L10n::t("kw.profile.refreshing"));
    engines->release(QStringLiteral("readiness"));
    ASSERT_TRUE(processEventsUntil([&] { return refresh->isEnabled(); }));
    const std::optional<UserProfile> generated = ProfileStore::load();
    ASSERT_TRUE(generated);
    EXPECT_TRUE(generated->text.startsWith(QStringLiteral("回声：")));
    EXPECT_EQ(text->toolTip(), generated->text);

    whenModal([](QWidget* dialog) {
        named<QLineEdit>(dialog, QStringLiteral("profile-edit-field"))->setText(QStringLiteral("  关注物理  "));
        named<QPushButton>(dialog, QStringLiteral("profile-edit-save"))->click();
    });
    edit->click();
    EXPECT_EQ(ProfileStore::load()->text, QStringLiteral("关注物理"));
    EXPECT_TRUE(ProfileStore::load()->userEdited);
    EXPECT_TRUE(find<QLabel>("profile-meta")->text().endsWith(QStringLiteral("edited by you")));
}

}
