# Quarvel: the two set-up commands are `make run` and `make test`.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian packages the build, the tests and the show need.
DEPS = cmake make g++ pkg-config \
       libsdl2-dev libegl-dev libopengl-dev libgl-dev libgl1-mesa-dri libegl-mesa0 \
       libstb-dev libjpeg62-turbo-dev libpng-dev libmpg123-dev libmp3lame-dev zlib1g-dev fonts-dejavu-core \
       libgtest-dev libgmock-dev libbenchmark-dev locales-all xvfb xdotool ffmpeg \
       libcli11-dev
# Only for the Debian package (make package): dpkg-shlibdeps, lintian, man.
PACKAGE_DEPS = dpkg-dev lintian man-db
# Only for the per-scene show benchmark (make bench-show).
BENCH_DEPS = python3
# Only for the web edition (make web, make web-serve): emscripten, and
# python3 for the local web server.
WEB_DEPS = emscripten python3
# Only for the browser tests and measurements of the web edition (make
# web-test, make web-bench); their npm packages come from tests/web/package-lock.json.
WEB_TEST_DEPS = chromium nodejs
# Only for the fuzz target (make fuzz-build): clang and its libFuzzer runtime.
FUZZ_DEPS = clang libclang-rt-14-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps web-deps web web-serve fuzz-deps package-deps configure build run test test-asan test-tsan package package-check fuzz-build fuzz-smoke bench bench-deps bench-show web-test-deps web-test web-bench soak previews clean

all: build

# Installs those of the packages given that are missing.
define install_missing
	@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call install_missing,$(DEPS))

fuzz-deps: deps
	$(call install_missing,$(FUZZ_DEPS))

bench-deps: deps
	$(call install_missing,$(BENCH_DEPS))

web-deps: deps
	$(call install_missing,$(WEB_DEPS))

package-deps: deps
	$(call install_missing,$(PACKAGE_DEPS))

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The show runs from its own folder, where the program sits with its files.
run: build
	cd $(BUILD)/show && ./quarvel

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package, from the build's install rules (CPack):
# build/package/quarvel_VERSION_ARCH.deb. package-check installs it into a
# scratch root, plays the installed show there, purges it and runs lintian.
package: package-deps build
	rm -f $(BUILD)/package/quarvel_*.deb
	cd $(BUILD) && cpack -G DEB

package-check: package
	BUILD=$(BUILD) tools/package/check.sh

# The platform and tool tests again under AddressSanitizer, UBSan and
# LeakSanitizer (a separate build in build-asan). intercept_tls_get_addr=0:
# GCC 12's runtime can take a block of Mesa's thread-local storage for an
# old glibc's and read past it, and the leak checker then crashes at exit
# (about one run of the capture program in twenty) with no leak found.
ASAN_TESTS = test_common test_xfile test_retained test_render test_display test_audio test_app test_runner test_capture test_xinfo
test-asan: deps
	cmake -S . -B build-asan -DQUARVEL_ASAN=ON -DQUARVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-asan -j $(JOBS) --target $(ASAN_TESTS)
	cd build-asan/tests && for t in $(ASAN_TESTS); do \
	  echo "== $$t (sanitizers)"; \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    ./$$t --gtest_brief=1 || exit 1; \
	done

# The threaded tests under ThreadSanitizer (a separate build in build-tsan):
# the music (decoding ahead, the playback clock thread, the output), the
# model files parsed ahead, and the video encoders; then, unless
# TSAN_WHOLE_SHOW=0 (as in CI), the whole show with its video export. Any
# report fails. The suppressions (tests/tsan.supp) cover system libraries
# only, each with its reason.
TSAN_TESTS = test_audio test_retained test_capture
TSAN_FILTER_test_audio = *
TSAN_FILTER_test_retained = XLoader.*
TSAN_FILTER_test_capture = Video*
TSAN_WHOLE_SHOW ?= 1
# Ten ticks a second keeps the whole show under the sanitizer to minutes.
TSAN_SHOW_ARGS ?= --ms-per-tick 100
TSAN_ENV = TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp"
test-tsan: deps
	cmake -S . -B build-tsan -DQUARVEL_TSAN=ON -DQUARVEL_BENCH=OFF $(filter-out -DCMAKE_BUILD_TYPE=%,$(CMAKE_FLAGS)) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-tsan -j $(JOBS) --target $(TSAN_TESTS) quarvel-capture
	cd build-tsan/tests && $(foreach t,$(TSAN_TESTS),echo "== $(t) (thread sanitizer)" && \
	  $(TSAN_ENV) ./$(t) --gtest_brief=1 --gtest_filter='$(TSAN_FILTER_$(t))' &&) true
	@if [ "$(TSAN_WHOLE_SHOW)" != 0 ]; then \
	  echo "== the whole show with its video (thread sanitizer)"; \
	  rm -rf build-tsan/whole-show && mkdir -p build-tsan/whole-show && \
	  $(TSAN_ENV) build-tsan/bin/quarvel-capture --show build-tsan/show --video build-tsan/whole-show/show.mp4 \
	    --out build-tsan/whole-show $(TSAN_SHOW_ARGS) || exit 1; \
	fi

# The fuzz targets (fuzz/): every reader of outside input, built with clang
# in build-fuzz so that CI notices when one stops building; fuzz-smoke also
# runs each for FUZZ_SECONDS. Longer runs: fuzz/run.sh [-jobs N]
# [-target NAME] [SECONDS].
FUZZ_SECONDS ?= 10
fuzz-build: fuzz-deps
	BUILD_DIR=$(CURDIR)/build-fuzz BUILD_JOBS=$(JOBS) fuzz/run.sh -build-only

fuzz-smoke: fuzz-build
	BUILD_DIR=$(CURDIR)/build-fuzz BUILD_JOBS=$(JOBS) fuzz/run.sh $(FUZZ_SECONDS)

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

# The whole show's timedemo per scene; against an older build with
# make bench-show BENCH_VS=/path/to/old/quarvel-capture
bench-show: bench-deps build
	bench/show_scenes.sh --capture $(abspath $(BUILD))/bin/quarvel-capture --show $(abspath $(BUILD))/show $(if $(BENCH_VS),--vs $(BENCH_VS))

# Days of play: the whole show again and again in the window program under
# Xvfb and in the page in headless Chromium, with memory, open files and
# threads after each show (bench/soak.sh; about 50 minutes for the window's
# 10 shows and 30 for the page's; BENCHMARKS.md, "Days of play"). Not part
# of make test. SOAK_ARGS="--shows 3 --page-shows 3" for a shorter run.
soak: web-test-deps web build
	bench/soak.sh --build $(abspath $(BUILD)) --web-build $(abspath $(WEB_BUILD)) $(SOAK_ARGS)

# A picture of every model file of the show: build/previews/000000NN.png
previews: build
	cmake --build $(BUILD) --target quarvel_previews

# The web edition in build-web/: index.html, quarvel.js, quarvel.wasm and
# quarvel.data (the show's files, which the native build generates first).
# Debian's emscripten needs its own node modules (acorn) when a newer node
# comes first on PATH.
WEB_BUILD ?= build-web
WEB_PORT ?= 8080
WEB_ENV = NODE_PATH=/usr/share/nodejs$${NODE_PATH:+:$$NODE_PATH}
web: web-deps build
	$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DQUARVEL_SHOW_FILES=$(abspath $(BUILD))/show $(WEB_CMAKE_FLAGS)
	$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS) --target quarvel

web-serve: web
	@echo "The show: http://localhost:$(WEB_PORT)/ (Ctrl+C stops the server)"
	cd $(WEB_BUILD) && python3 -m http.server $(WEB_PORT) --bind 127.0.0.1

# The web edition in headless Chromium: the page, its trace and pictures
# against the desktop runner's, and the keys (tests/web, node's test runner).
WEB_NODE_MODULES = tests/web/node_modules/.package-lock.json
$(WEB_NODE_MODULES): tests/web/package.json tests/web/package-lock.json
	cd tests/web && npm ci --no-audit --no-fund

web-test-deps: deps
	$(call install_missing,$(WEB_TEST_DEPS))
	@$(MAKE) --no-print-directory $(WEB_NODE_MODULES)

web-test: web-test-deps web build
	cd tests/web && QUARVEL_BUILD=$(abspath $(BUILD)) QUARVEL_WEB_DIR=$(abspath $(WEB_BUILD)) node --test --test-concurrency=1 *.test.mjs

# Download size, time to the first frame, frames a second per scene of the
# web edition in headless Chromium, and the page's time a tick per scene
# against the desktop runner's on llvmpipe and SwiftShader (BENCHMARKS.md,
# "Web edition"). WEB_BENCH_ARGS="--only compare" for the comparison alone,
# "--only calls" for the WebGL calls a tick per kind and per scene.
web-bench: web-test-deps web build
	cd tests/web && QUARVEL_BUILD=$(abspath $(BUILD)) QUARVEL_WEB_DIR=$(abspath $(WEB_BUILD)) node bench.mjs $(WEB_BENCH_ARGS)

clean:
	rm -rf $(BUILD) build-fuzz build-tsan $(WEB_BUILD)
