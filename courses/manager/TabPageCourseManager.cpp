#include "courses/manager/TabPageCourseManager.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "config/StringTable.h"
#include "courses/manager/LessonListRules.h"
#include "foundation/TextUtil.h"
#include "peers/downloader/CourseManagerClient.h"
#include "peers/downloader/DownloaderUser.h"
#include "ui/MenuWnd.h"
#include "ui/MessageBox.h"
#include "ui/MessageHub.h"
#include "ui/WindowImplBaseNew.h"

namespace {

using namespace LessonListRules;

constexpr int kMenuPlacement = 2;
constexpr int kStart = 1;
constexpr int kStop = 0;

QString Wide(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

QString SizeText(int64_t bytes) {
    return Wide(FormatSize(bytes)).trimmed();
}

void SetText(QWidget* root, const char* name, const QString& text) {
    if (auto* label = root ? root->findChild<QLabel*>(name) : nullptr) {
        label->setText(text);
    }
}

// Double clicks on a row's visible part expand or collapse it.
class DoubleClickFilter : public QObject {
public:
    DoubleClickFilter(QObject* parent, std::function<void()> action)
        : QObject(parent), m_action(std::move(action)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick) {
            m_action();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_action;
};

}  // namespace

CTabPageCourseManager::CTabPageCourseManager(WindowImplBaseNew* frame)
    : QObject(frame), m_frame(frame) {
    // One downloader call at a time, in order.
    m_worker.setMaxThreadCount(1);
}

CTabPageCourseManager::~CTabPageCourseManager() {
    m_worker.waitForDone();
}

void CTabPageCourseManager::OffGui(std::function<void()> job, std::function<void()> apply) {
    QPointer<CTabPageCourseManager> page(this);
    m_worker.start([job = std::move(job), apply = std::move(apply), page] {
        job();
        MessageHub::PostCall([apply, page] {
            if (page) {
                apply();
            }
        });
    });
}

bool CTabPageCourseManager::ControlsLost() const {
    return !m_list || !m_list->layout();
}

void CTabPageCourseManager::Prepare() {
    // Again after a skin switch rebuilt the frame: the rows went with it.
    if (m_prepared && !ControlsLost()) {
        return;
    }
    m_prepared = true;
    QWidget* root = m_frame ? m_frame->GetWidget() : nullptr;
    if (!root) {
        return;
    }
    m_list = root->findChild<QWidget*>("courselist");
    m_tipBar = root->findChild<QWidget*>("tip_tool");
    m_checkAll = root->findChild<QCheckBox*>("check_all");
    if (m_tipBar) {
        m_tipBar->hide();
    }
    if (m_list && !m_list->layout()) {
        auto* layout = new QVBoxLayout(m_list);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addStretch(1);
    }
    const bool hadRows = !m_rows.empty();
    m_rows.clear();
    m_lessons.clear();
    ResetTicks();
    if (hadRows) {
        LoadLessons();
    }
}

std::vector<std::u16string> CTabPageCourseManager::RowIds() const {
    std::vector<std::u16string> ids;
    for (const Row& row : m_rows) {
        ids.push_back(row.lessonUid);
    }
    return ids;
}

bool CTabPageCourseManager::CheckUserChanged() {
    if (m_userChanged) {
        m_userChanged = false;
        return true;
    }
    if (!m_checkOut) {
        m_checkOut = true;
        auto changed = std::make_shared<bool>(false);
        OffGui(
            [changed] {
                std::u16string user;
                GetCurServerInfo(user);
                *changed = RememberDownloaderUser(user);
            },
            [this, changed] {
                m_checkOut = false;
                m_userChanged = m_userChanged || *changed;
            });
    }
    return false;
}

void CTabPageCourseManager::LoadLessons() {
    ResetTicks();
    auto lessons = std::make_shared<std::vector<LessonInfo>>();
    auto ok = std::make_shared<bool>(false);
    OffGui([lessons, ok] { *ok = GetUserLessonList(CurrentDownloaderUser(), *lessons) == 0; },
           [this, lessons, ok] {
               if (*ok) {
                   ClearRows();
                   ApplyLessons(std::move(*lessons));
               }
           });
}

void CTabPageCourseManager::ApplyLessons(std::vector<LessonInfo> lessons) {
    if (lessons.empty()) {
        return;
    }
    m_buildingRows = true;
    ContinueRows(std::make_shared<std::vector<LessonInfo>>(std::move(lessons)), 0, m_rowGeneration);
}

void CTabPageCourseManager::ContinueRows(std::shared_ptr<std::vector<LessonInfo>> lessons,
                                         std::size_t next, unsigned generation) {
    if (generation != m_rowGeneration) {
        return;  // the rows were cleared meanwhile
    }
    QElapsedTimer slice;
    slice.start();
    while (next < lessons->size() && slice.elapsed() < kRowSliceMs) {
        AddRow((*lessons)[next++]);
    }
    if (next == lessons->size()) {
        m_buildingRows = false;
        return;
    }
    // Clicks and paints get their turn before the next slice.
    QPointer<CTabPageCourseManager> page(this);
    MessageHub::PostCall([page, lessons, next, generation] {
        if (page) {
            page->ContinueRows(lessons, next, generation);
        }
    });
}

void CTabPageCourseManager::RefreshLessons() {
    if (m_refreshOut || m_buildingRows || ControlsLost()) {
        return;  // the last tick's answer is still out, or its rows are still coming
    }
    m_refreshOut = true;
    struct Result {
        bool userChanged = false;
        bool listOk = false;
        std::vector<LessonInfo> lessons;
        std::u16string expanded;
        bool coursesOk = false;
        std::vector<LessonInfo> courses;
    };
    auto result = std::make_shared<Result>();
    for (const Row& row : m_rows) {
        if (row.expanded) {
            result->expanded = row.lessonUid;
        }
    }
    OffGui(
        [result] {
            std::u16string user;
            GetCurServerInfo(user);
            result->userChanged = RememberDownloaderUser(user);
            result->listOk = GetUserLessonList(user, result->lessons) == 0;
            if (!result->userChanged && result->listOk && !result->expanded.empty()) {
                result->coursesOk =
                    GetUserLessonCourseInfo(user, result->expanded, result->courses) == 0;
            }
        },
        [this, result] {
            m_refreshOut = false;
            if (ControlsLost() || !result->listOk) {
                return;
            }
            if (result->userChanged) {
                ClearRows();
                ResetTicks();
                ApplyLessons(std::move(result->lessons));
                return;
            }
            RefreshPlan plan = PlanRefresh(RowIds(), std::move(result->lessons));
            for (const auto& [row, lesson] : plan.updates) {
                UpdateRow(row, lesson);
            }
            for (auto it = plan.removed.rbegin(); it != plan.removed.rend(); ++it) {
                RemoveRow(*it);
            }
            ApplyLessons(std::move(plan.added));
            const int expanded = IndexOf(result->expanded);
            if (result->coursesOk && expanded >= 0 && m_rows[expanded].expanded &&
                !result->courses.empty()) {
                FillCourses(static_cast<std::size_t>(expanded), result->courses.front().courses);
            }
        });
}

void CTabPageCourseManager::ClearRows() {
    ++m_rowGeneration;
    m_buildingRows = false;
    while (!m_rows.empty()) {
        RemoveRow(m_rows.size() - 1);
    }
    m_lessons.clear();
}

void CTabPageCourseManager::AddRow(const LessonInfo& lesson) {
    if (ControlsLost()) {
        return;
    }
    QWidget* widget = WindowImplBaseNew::LoadLayout(kRowLayout, m_list);
    if (!widget) {
        return;
    }
    widget->setObjectName(Wide(lesson.lessonUid));
    if (QWidget* extension = widget->findChild<QWidget*>("item_extension")) {
        extension->hide();
    }
    auto* layout = static_cast<QVBoxLayout*>(m_list->layout());
    layout->insertWidget(static_cast<int>(m_rows.size()), widget);
    m_rows.push_back(Row{lesson.lessonUid, widget, false});
    m_lessons.emplace(lesson.lessonUid, lesson);
    SetText(widget, "course_name", Wide(lesson.lessonName));
    UpdateRow(m_rows.size() - 1, lesson);

    QPointer<QWidget> target(widget);
    auto rowIndex = [this, target] { return IndexOf(target); };
    auto wire = [&](const char* name, std::function<void(int)> action) {
        if (auto* button = widget->findChild<QAbstractButton*>(name)) {
            connect(button, &QAbstractButton::clicked, this, [rowIndex, action] {
                const int row = rowIndex();
                if (row >= 0) {
                    action(row);
                }
            });
        }
    };
    wire("check_item", [this, target](int) {
        auto* box = target ? target->findChild<QCheckBox*>("check_item") : nullptr;
        OnRowTicked(box && box->isChecked());
    });
    wire("operate_startdown", [this](int row) {
        m_rememberedRow = row;
        SetRowStatus(static_cast<std::size_t>(row), kStart);
    });
    wire("operate_stopdown", [this](int row) {
        m_rememberedRow = row;
        SetRowStatus(static_cast<std::size_t>(row), kStop);
    });
    wire("operate_delete", [this](int row) {
        MessageHub::Post(m_frame, WM_CONFIRM_DELETE, static_cast<WPARAM>(row), 0);
    });
    wire("operate_more", [this](int row) {
        m_rememberedRow = row;
        ShowPopupMenu(m_frame, "OperateMenu.xml", kMenuPlacement);
    });
    if (QWidget* normal = widget->findChild<QWidget*>("item_normal")) {
        normal->installEventFilter(
            new DoubleClickFilter(normal, [this, target] { ToggleExpansion(target); }));
    }
}

void CTabPageCourseManager::UpdateRow(std::size_t row, const LessonInfo& lesson) {
    QWidget* widget = m_rows[row].widget;
    const int shown = ShownStatus(lesson);
    ShowStatus(widget, shown);
    SetText(widget, "down_rate", Wide(ProgressText(lesson.lessonDownRate)));
    SetText(widget, "course_length", SizeText(lesson.size));
    auto entry = m_lessons.find(lesson.lessonUid);
    if (entry != m_lessons.end()) {
        entry->second.lessonDownRate = lesson.lessonDownRate;
        entry->second.lessonStatus = shown;
        entry->second.size = lesson.size;
    }
}

void CTabPageCourseManager::RemoveRow(std::size_t row) {
    Row removed = m_rows[row];
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
    m_lessons.erase(removed.lessonUid);
    if (removed.widget) {
        if (auto* box = removed.widget->findChild<QCheckBox*>("check_item");
            box && box->isChecked()) {
            m_tickedCount = std::max(0, m_tickedCount - 1);
        }
        removed.widget->hide();
        removed.widget->deleteLater();
    }
    if (m_rememberedRow >= static_cast<int>(m_rows.size())) {
        m_rememberedRow = -1;
    }
}

void CTabPageCourseManager::ShowStatus(QWidget* widget, int status) {
    auto* label = widget ? widget->findChild<QLabel*>("btn_status") : nullptr;
    if (!label) {
        return;
    }
    label->setPixmap(WindowImplBaseNew::LoadImage(StatusImage(status)));
    label->setProperty(kStateProperty, QString::fromLatin1(StateName(status)));
    label->setToolTip(QString::fromLatin1(StateName(status)));
}

int CTabPageCourseManager::RowStatus(std::size_t row) const {
    QWidget* widget = m_rows[row].widget;
    auto* label = widget ? widget->findChild<QLabel*>("btn_status") : nullptr;
    return label ? StatusFromStateName(label->property(kStateProperty).toString().toStdString())
                 : csStop;
}

void CTabPageCourseManager::FillCourses(std::size_t row, const std::vector<CourseInfo>& courses) {
    QWidget* widget = m_rows[row].widget;
    QWidget* list = widget ? widget->findChild<QWidget*>("lessonlist") : nullptr;
    if (!list) {
        return;
    }
    if (!list->layout()) {
        auto* layout = new QVBoxLayout(list);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->setAlignment(Qt::AlignTop);
    }
    for (QWidget* old : list->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        delete old;
    }
    for (const CourseInfo& course : courses) {
        QWidget* item = WindowImplBaseNew::LoadLayout(kCourseRowLayout, list);
        if (!item) {
            break;
        }
        item->setObjectName(Wide(course.courseHash));
        item->setFixedHeight(kCourseRowHeight);
        SetText(item, "course_name", Wide(course.courseName));
        SetText(item, "course_length", SizeText(course.size));
        SetText(item, "down_rate", Wide(ProgressText(course.courseDownRate)));
        list->layout()->addWidget(item);
    }
    const int height = CourseAreaHeight(courses.size());
    list->setFixedHeight(height);
    if (QWidget* extension = widget->findChild<QWidget*>("item_extension")) {
        extension->setFixedHeight(height);
    }
}

void CTabPageCourseManager::SetExpanded(std::size_t row, bool expanded) {
    m_rows[row].expanded = expanded;
    if (QWidget* widget = m_rows[row].widget) {
        if (QWidget* extension = widget->findChild<QWidget*>("item_extension")) {
            extension->setVisible(expanded);
        }
    }
}

void CTabPageCourseManager::ToggleExpansion(QWidget* rowWidget) {
    const int row = IndexOf(rowWidget);
    if (row < 0) {
        return;
    }
    for (std::size_t other = 0; other < m_rows.size(); ++other) {
        if (other != static_cast<std::size_t>(row) && m_rows[other].expanded) {
            SetExpanded(other, false);
        }
    }
    if (m_rows[row].expanded) {
        SetExpanded(static_cast<std::size_t>(row), false);
        return;
    }
    SetExpanded(static_cast<std::size_t>(row), true);
    const std::u16string lessonUid = m_rows[row].lessonUid;
    auto lessons = std::make_shared<std::vector<LessonInfo>>();
    auto ok = std::make_shared<bool>(false);
    OffGui(
        [lessonUid, lessons, ok] {
            *ok = GetUserLessonCourseInfo(CurrentDownloaderUser(), lessonUid, *lessons) == 0;
        },
        [this, lessonUid, lessons, ok] {
            const int at = IndexOf(lessonUid);
            if (!*ok || at < 0 || lessons->empty()) {
                return;
            }
            UpdateRow(static_cast<std::size_t>(at), lessons->front());
            FillCourses(static_cast<std::size_t>(at), lessons->front().courses);
        });
}

int CTabPageCourseManager::IndexOf(const QWidget* rowWidget) const {
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (rowWidget && m_rows[i].widget == rowWidget) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CTabPageCourseManager::IndexOf(const std::u16string& lessonUid) const {
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (!lessonUid.empty() && m_rows[i].lessonUid == lessonUid) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

double CTabPageCourseManager::RateOf(const std::u16string& lessonUid) const {
    auto entry = m_lessons.find(lessonUid);
    return entry == m_lessons.end() ? 0.0 : entry->second.lessonDownRate;
}

void CTabPageCourseManager::SetRowStatus(std::size_t row, int wanted) {
    const std::u16string lessonUid = m_rows[row].lessonUid;
    const StatusDecision decision = DecideStatus(RowStatus(row), RateOf(lessonUid), wanted);
    if (!decision.send) {
        if (decision.result == csOver && wanted == kStart) {
            ShowMessageBox(m_frame, StringTable::Text("STR_DOWN_COMPLETE"),
                           MessageBoxKind::kWarning, 0);
        }
        return;
    }
    auto ok = std::make_shared<bool>(false);
    OffGui(
        [lessonUid, wanted, ok] {
            const std::vector<std::u16string> ids{lessonUid};
            const std::u16string user = CurrentDownloaderUser();
            *ok = (wanted == kStart ? StartPreDownLesson(user, ids)
                                    : StopPreDownLesson(user, ids)) == 0;
        },
        [this, lessonUid, wanted, ok, show = decision.showWanted] {
            const int at = IndexOf(lessonUid);
            if (*ok && show && at >= 0) {
                ShowStatus(m_rows[at].widget, wanted);
            }
        });
}

void CTabPageCourseManager::Batch(int wanted) {
    std::vector<TickedRow> ticked;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        auto* box =
            m_rows[i].widget ? m_rows[i].widget->findChild<QCheckBox*>("check_item") : nullptr;
        if (box && box->isChecked()) {
            ticked.push_back({i, m_rows[i].lessonUid, RowStatus(i), RateOf(m_rows[i].lessonUid)});
        }
    }
    BatchPlan plan = PlanBatch(ticked, wanted);
    for (std::size_t row : plan.showWanted) {
        ShowStatus(m_rows[row].widget, wanted);
    }
    if (plan.lessons.empty()) {
        return;
    }
    OffGui(
        [lessons = plan.lessons, wanted] {
            const std::u16string user = CurrentDownloaderUser();
            if (wanted == kStart) {
                StartPreDownLesson(user, lessons);
            } else {
                StopPreDownLesson(user, lessons);
            }
        },
        [] {});
}

void CTabPageCourseManager::ConfirmDelete(int row) {
    if (row < 0 || row >= static_cast<int>(m_rows.size()) ||
        !ShowMessageBox(m_frame, StringTable::Text("STR_ENSURE_DELETE"), MessageBoxKind::kQuestion,
                        0)) {
        return;
    }
    DeleteRow(static_cast<std::size_t>(row));
}

void CTabPageCourseManager::DeleteRow(std::size_t row) {
    if (row >= m_rows.size() || m_rows[row].lessonUid.empty()) {
        return;
    }
    const std::u16string lessonUid = m_rows[row].lessonUid;
    auto ok = std::make_shared<bool>(false);
    OffGui(
        [lessonUid, ok] { *ok = DeletePreDownLesson(CurrentDownloaderUser(), {lessonUid}) == 0; },
        [this, lessonUid, ok] {
            const int at = IndexOf(lessonUid);
            if (*ok && at >= 0) {
                RemoveRow(static_cast<std::size_t>(at));
            }
        });
}

void CTabPageCourseManager::DeleteTicked() {
    if (m_tickedCount < 1 || !ShowMessageBox(m_frame, StringTable::Text("STR_ENSURE_DELETEALL"),
                                             MessageBoxKind::kQuestion, 0)) {
        return;
    }
    const bool all = !m_rows.empty() && m_tickedCount >= static_cast<int>(m_rows.size());
    if (all) {
        auto ok = std::make_shared<bool>(false);
        OffGui([ok] { *ok = DeleteAllPreDownLesson(CurrentDownloaderUser()) == 0; },
               [this, ok] {
                   if (*ok) {
                       ClearRows();
                       ResetTicks();
                   }
               });
    } else {
        std::vector<std::u16string> ids;
        for (std::size_t i = m_rows.size(); i-- > 0;) {
            auto* box =
                m_rows[i].widget ? m_rows[i].widget->findChild<QCheckBox*>("check_item") : nullptr;
            if (box && box->isChecked()) {
                ids.insert(ids.begin(), m_rows[i].lessonUid);
                RemoveRow(i);
            }
        }
        OffGui([ids] { DeletePreDownLesson(CurrentDownloaderUser(), ids); }, [] {});
    }
    if (m_tipBar) {
        m_tipBar->hide();
    }
    if (m_checkAll) {
        m_checkAll->setChecked(false);
    }
}

void CTabPageCourseManager::StartRemembered() {
    if (m_rememberedRow >= 0 && m_rememberedRow < static_cast<int>(m_rows.size())) {
        SetRowStatus(static_cast<std::size_t>(m_rememberedRow), kStart);
    }
}

void CTabPageCourseManager::StopRemembered() {
    if (m_rememberedRow >= 0 && m_rememberedRow < static_cast<int>(m_rows.size())) {
        SetRowStatus(static_cast<std::size_t>(m_rememberedRow), kStop);
    }
}

void CTabPageCourseManager::OnRowTicked(bool ticked) {
    m_tickedCount = std::max(0, m_tickedCount + (ticked ? 1 : -1));
    if (m_tickedCount < 1) {
        if (m_tipBar) {
            m_tipBar->hide();
        }
        if (m_checkAll) {
            m_checkAll->setChecked(false);
        }
        return;
    }
    if (m_checkAll) {
        m_checkAll->setChecked(m_tickedCount >= static_cast<int>(m_rows.size()));
    }
    if (m_tipBar) {
        m_tipBar->show();
    }
}

void CTabPageCourseManager::TickAll(bool ticked) {
    for (const Row& row : m_rows) {
        if (auto* box = row.widget ? row.widget->findChild<QCheckBox*>("check_item") : nullptr) {
            box->setChecked(ticked);
        }
    }
    m_tickedCount = ticked ? static_cast<int>(m_rows.size()) : 0;
}

void CTabPageCourseManager::ResetTicks() {
    TickAll(false);
    if (m_checkAll) {
        m_checkAll->setChecked(false);
    }
    if (m_tipBar) {
        m_tipBar->hide();
    }
}

int CTabPageCourseManager::OnClick(const QString& name) {
    if (name == "tipbar_btncancel") {
        ResetTicks();
    } else if (name == "check_all") {
        const bool all = m_checkAll && m_checkAll->isChecked();
        TickAll(all);
        if (m_tipBar) {
            m_tipBar->setVisible(all && !m_rows.empty());
        }
    } else if (name == "tipbar_down" || name == "tipbar_stopdown") {
        Batch(name == "tipbar_down" ? kStart : kStop);
        ResetTicks();
    } else if (name == "tipbar_delete") {
        DeleteTicked();
    } else if (name == "tipbar_more") {
        ShowPopupMenu(m_frame, "MultiOperateMenu.xml", kMenuPlacement);
    } else {
        return 0;
    }
    return 1;
}
