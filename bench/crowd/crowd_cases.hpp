#pragma once

#include <string>

namespace vostrel::bench {

// The environments the crowd benchmarks run, as environment file text. Each is tuned so that the
// crowd settles near the number of persons its name gives; the entrance intervals set that.

// A 30 m x 20 m gallery: one entrance, a cloakroom queue, pictures, benches; about 45 persons.
std::string galleryFloor();
// An 84 m corridor between 24 rooms with tables and seats, entered at both ends, with queues at
// counters along the corridor; about 265 persons.
std::string busyCorridor();
// A 40 m x 30 m hall with pillars, stands and boards, two ways in and two out; about 260 persons.
std::string crowdedHall();
// A 100 m x 60 m arena concourse around the closed bowl, four doors, kiosks and stands; the
// entrance intervals are set for about `persons` persons in the steady state (2 200 as tuned).
std::string arenaConcourse(int persons);

}  // namespace vostrel::bench
