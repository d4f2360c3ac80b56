#include "backend/notice.h"

namespace corvanta::backend {

Notice Notice::from(const NoticeDTO& dto) {
    Notice notice{dto.id, dto.title, dto.content, std::nullopt};
    if (dto.createtime) {
        notice.createtime = QDateTime::fromSecsSinceEpoch(*dto.createtime, Qt::UTC);
    }
    return notice;
}

}  // namespace corvanta::backend
