#include "backend/model_ranking.h"

namespace corvanta::backend {

ModelRanking ModelRanking::from(const ModelRankingDTO& dto) {
    return ModelRanking{dto.model,
                        dto.featuresContextWindow,
                        dto.featuresCreator,
                        dto.iconSrc,
                        dto.intelligence,
                        dto.price,
                        dto.speed,
                        dto.latency,
                        dto.endToEndResponseTime.value_or(QString())};
}

}  // namespace corvanta::backend
