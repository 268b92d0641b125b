#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "peers/downloader/DownloaderRecords.h"
#include "ui/TabPageBase.h"

class QCheckBox;
class QWidget;
class WindowImplBaseNew;

// The main frame's first tab: the lessons the downloader holds for its
// learner, one row each, refreshed every few seconds, with start, stop and
// delete per row or for the ticked rows. The downloader answers slowly or
// not at all at times, so every call to it runs on the page's own worker
// (one at a time) and only the result is applied here, on the GUI thread.
class CTabPageCourseManager : public QObject, public CTabPageBase {
    Q_OBJECT
public:
    static constexpr const char* kRowLayout = "LessonListItem.xml";
    static constexpr const char* kCourseRowLayout = "CourseListItem.xml";
    static constexpr const char* kStateProperty = "state";
    // The longest the GUI thread spends adding rows before it takes events.
    static constexpr int kRowSliceMs = 20;

    // Owned by the frame it lives in.
    explicit CTabPageCourseManager(WindowImplBaseNew* frame);
    ~CTabPageCourseManager() override;

    void Prepare() override;
    int OnClick(const QString& name) override;

    // The main frame's timers and messages.
    bool CheckUserChanged();
    void LoadLessons();
    void RefreshLessons();
    void ConfirmDelete(int row);
    // Commands 5 to 7 of the popup menus.
    void StartRemembered();
    void StopRemembered();
    void DeleteTicked();

    // What the page shows, for tests and the bench: the rows' lessonUids.
    std::vector<std::u16string> RowIds() const;
    // True while a long list's rows are still being added.
    bool BuildingRows() const { return m_buildingRows; }

private:
    struct Row {
        std::u16string lessonUid;
        QPointer<QWidget> widget;
        bool expanded = false;
    };

    // Runs job on the worker; apply gets its result on the GUI thread,
    // unless the page is gone by then.
    void OffGui(std::function<void()> job, std::function<void()> apply);
    bool ControlsLost() const;
    void ClearRows();
    void AddRow(const LessonInfo& lesson);
    void UpdateRow(std::size_t row, const LessonInfo& lesson);
    void RemoveRow(std::size_t row);
    void ShowStatus(QWidget* widget, int status);
    int RowStatus(std::size_t row) const;
    void FillCourses(std::size_t row, const std::vector<CourseInfo>& courses);
    void ToggleExpansion(QWidget* rowWidget);
    void SetExpanded(std::size_t row, bool expanded);
    int IndexOf(const QWidget* rowWidget) const;
    int IndexOf(const std::u16string& lessonUid) const;
    double RateOf(const std::u16string& lessonUid) const;
    void SetRowStatus(std::size_t row, int wanted);
    void Batch(int wanted);
    void DeleteRow(std::size_t row);
    void OnRowTicked(bool ticked);
    void TickAll(bool ticked);
    void ResetTicks();
    // Adds rows for the lessons in slices of at most kRowSliceMs on the GUI
    // thread, the rest following from the event loop; a clear in between
    // drops what is left.
    void ApplyLessons(std::vector<LessonInfo> lessons);
    void ContinueRows(std::shared_ptr<std::vector<LessonInfo>> lessons, std::size_t next,
                      unsigned generation);

    WindowImplBaseNew* m_frame;
    QPointer<QWidget> m_list;
    QPointer<QWidget> m_tipBar;
    QPointer<QCheckBox> m_checkAll;
    std::vector<Row> m_rows;
    std::map<std::u16string, LessonInfo> m_lessons;
    int m_tickedCount = 0;
    int m_rememberedRow = -1;
    // A user change found by the worker, for the main frame's next check.
    bool m_userChanged = false;
    bool m_checkOut = false;
    bool m_refreshOut = false;
    // Rows still being added in slices, and which load they belong to.
    bool m_buildingRows = false;
    unsigned m_rowGeneration = 0;
    QThreadPool m_worker;
};
