#include "channel/methods/ExamStatus.h"

std::atomic<int> examStatus{kExamStatusNone};
