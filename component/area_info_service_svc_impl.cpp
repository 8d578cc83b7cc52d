#include "component/area_info_service_svc_impl.hpp"

#include "component/wire_records.hpp"

ZYK::TimedAreaInfo* AreaInfoServiceSVC_impl::getAreaInfo() {
    auto* out = new ZYK::TimedAreaInfo;
    run_.withAreas([&](const vostrel::SubareaList& list, const std::vector<int>& populations) {
        out->tm = vostrel::wire::time(vostrel::stampOf(clock_.now()));
        out->data.length(static_cast<CORBA::ULong>(list.size()));
        for (CORBA::ULong i = 0; i < out->data.length(); ++i) {
            const vostrel::Subarea& s = list[i];
            ZYK::AreaInfo& a = out->data[i];
            a.id = s.id();
            a.population = i < populations.size() ? populations[i] : 0;
            const auto& links = s.links();
            a.links.length(static_cast<CORBA::ULong>(links.size()));
            for (CORBA::ULong k = 0; k < a.links.length(); ++k) {
                // Repeated neighbours all carry the border of the first link to them.
                const vostrel::Segment border = s.borderWith(links[k].neighbourId);
                a.links[k].id = links[k].neighbourId;
                a.links[k].boder.p1 = {border.origin.x, border.origin.y};
                a.links[k].boder.p2 = {border.end().x, border.end().y};
            }
            const auto& corners = s.corners();
            a.vertexes.length(static_cast<CORBA::ULong>(corners.size()));
            for (CORBA::ULong k = 0; k < a.vertexes.length(); ++k)
                a.vertexes[k] = {corners[k].x, corners[k].y};
        }
    });
    return out;
}
