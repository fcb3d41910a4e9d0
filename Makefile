# Two commands do all the set-up on a fresh Debian 12 machine:
#   make run    install what is missing, build, start the program
#   make check  install what is missing, build, run every test (also under the sanitizers)
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
Q          ?=

.PHONY: all deps configure build run check test asan tsan format format-check bench clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Starts the window program; without a DISPLAY it runs on a virtual display, types a sample search
# (Q, default "report") over a demo tree and writes a screenshot: make run Q='annual report'
run: build
	@bash scripts/run-program.sh $(BUILD) "$(if $(Q),$(Q),report)"

test: build
	@bash scripts/run-tests.sh $(BUILD)

asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=ON -DKESTREL_WITH_GUI=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@bash scripts/run-tests.sh $(ASAN_BUILD)

# ThreadSanitizer over the engine's tests (its scanner and listener threads) and the core's thread tests
# (the search threads' hand-over to the UI thread). tests/tsan.supp says what in Qt is suppressed and why.
# LiveChurn unpacks 50 000 files, which takes many minutes under the sanitizer; the other runs keep it.
TSAN_PROGRAMS = engine_test engine_api_test core_threads_test
TSAN_SKIP     = ^LiveChurn\.
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_SANITIZE_THREAD=ON -DKESTREL_WITH_GUI=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_PROGRAMS)
	@TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp second_deadlock_stack=1" \
	    KESTREL_TEST_PROGRAMS="$(TSAN_PROGRAMS)" KESTREL_TEST_EXCLUDE='$(TSAN_SKIP)' \
	    bash scripts/run-tests.sh $(TSAN_BUILD)

check: format-check test asan tsan

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

bench: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	@bash bench/run.sh $(BUILD)

# The Debian package of the program, built by CPack from the build folder:
# $(BUILD)/kestrelfind_<version>_<arch>.deb, its dependencies found by dpkg-shlibdeps.
.PHONY: deb
deb: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
