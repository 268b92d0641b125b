#include "exam/window/ExamStatus.h"

std::atomic<int> examStatus{kExamStatusNone};
