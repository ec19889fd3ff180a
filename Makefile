# Quarvel: the two set-up commands are `make run` and `make test`.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian packages the build, the tests and the show need.
DEPS = cmake make g++ pkg-config \
       libsdl2-dev libegl-dev libopengl-dev libgl-dev libgl1-mesa-dri libegl-mesa0 \
       libstb-dev libmpg123-dev libmp3lame-dev zlib1g-dev fonts-dejavu-core \
       libgtest-dev libgmock-dev libbenchmark-dev locales-all ffmpeg

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build run test test-asan bench previews clean

all: build

deps:
	@missing=$$(for p in $(DEPS); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The show runs from its own folder, where the program sits with its files.
run: build
	cd $(BUILD)/show && ./quarvel

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The platform and tool tests again under AddressSanitizer, UBSan and
# LeakSanitizer (a separate build in build-asan).
ASAN_TESTS = test_common test_xfile test_retained test_render test_display test_audio test_app test_capture test_xinfo
test-asan: deps
	cmake -S . -B build-asan -DQUARVEL_ASAN=ON -DQUARVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-asan -j $(JOBS) --target $(ASAN_TESTS)
	cd build-asan/tests && for t in $(ASAN_TESTS); do \
	  echo "== $$t (sanitizers)"; \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    ./$$t --gtest_brief=1 || exit 1; \
	done

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

# A picture of every model file of the show: build/previews/000000NN.png
previews: build
	cmake --build $(BUILD) --target quarvel_previews

clean:
	rm -rf $(BUILD)
