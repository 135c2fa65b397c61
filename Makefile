# The two commands of the README: `make demo` and `make test`. Both install
# whatever Debian packages are missing first, then configure and build.

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

# Debian packages the build, the tests and the demo need. DPF builds the LV2,
# VST3 and CLAP editions; lilv, sord_validate and the scanners of Ardour and
# Qtractor test them, and so do the real hosts: jalv on a JACK server of the
# test's own, Ardour headless. The standalone application plays on JACK (its
# tests run private jackd servers too); lintian checks the Debian package.
PACKAGES = build-essential cmake pkg-config clang libclang-rt-14-dev \
	libgtest-dev libgmock-dev libbenchmark-dev valgrind \
	libcairo2-dev libpng-dev libx11-dev libxtst-dev libfontconfig1-dev fonts-dejavu-core \
	libsndfile1-dev libebur128-dev xvfb xauth amsynth \
	dpf-source lv2-dev liblilv-dev sordi ardour qtractor \
	jalv jackd2 libjack-jackd2-dev lintian clang-format

# The sanitizer trees. Any report aborts the program at once, so it fails
# its test; the leak checker runs at every test program's exit. The leak
# checker's own record of thread-local storage can keep an entry of a module
# that was unloaded while the program ran (seen with the VST3 edition) and
# crashes on it at exit: it is told not to follow __tls_get_addr.
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/gui/lsan.supp \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# The threaded tests that run under ThreadSanitizer; the soak's storm runs
# a minute there.
TSAN_TARGETS = synth_tests programs_tests instances_tests soak_tests
TSAN_TESTS = ^(Concurrency|Instances|Soak)\.

# The normal tree and the Windows cross build treat warnings as errors,
# with the stricter conversion and shadowing warnings
# (TARVEL_STRICT_WARNINGS). The sanitizer trees do not: their
# instrumentation changes what the compiler can prove.
STRICT_FLAGS ?= -DTARVEL_STRICT_WARNINGS=ON

.PHONY: all deps build test test-asan test-tsan demo docs clean install install-files install-user package package-deb
.PHONY: check format format-check

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing missing packages:" $$missing; \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(STRICT_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	$(MAKE) --no-print-directory format-check
	cd $(BUILD) && ctest --output-on-failure -j 2 $(CTEST_FLAGS)
	$(MAKE) --no-print-directory test-asan
	$(MAKE) --no-print-directory test-tsan
	$(MAKE) --no-print-directory test-windows

# The edit-build-test loop: configure and build the normal tree and run its
# tests; no package installs, no sanitizers, no Wine.
check:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(STRICT_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j 2 $(CTEST_FLAGS)

# The house layout is .clang-format as Debian's clang-format 14 applies it:
# `make format` rewrites every C++ file git tracks to it, `make
# format-check` (part of `make test`) fails on any file that strays.
CLANG_FORMAT ?= clang-format-14
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')

format:
	$(CLANG_FORMAT) -i $(FORMAT_FILES)

format-check:
	$(CLANG_FORMAT) --dry-run --Werror $(FORMAT_FILES)

# The whole suite again under AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DTARVEL_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j 2 $(CTEST_FLAGS)

# The tests that run several threads, under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_FLAGS) -DTARVEL_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TARGETS)
	cd $(TSAN_BUILD) && $(SANITIZER_ENV) TARVEL_SOAK_SECONDS=60 ctest --output-on-failure -j 2 -R '$(TSAN_TESTS)' $(CTEST_FLAGS)

demo: build
	@if [ -x $(BUILD)/tarvel-host ] && [ -f examples/demo.mid ]; then \
		$(BUILD)/tarvel-host render $$( [ -f examples/factory.fxb ] && echo --load examples/factory.fxb ) \
			$(BUILD)/Tarvel.so examples/demo.mid -o demo.wav && echo "Demo rendered to $$(pwd)/demo.wav"; \
	elif [ -x $(BUILD)/tarvel-host ]; then \
		$(BUILD)/tarvel-host info $(BUILD)/Tarvel.so; \
	else \
		echo "Built $(BUILD)/Tarvel.so"; \
	fi

# The manual's generated parts (the parameter reference, the factory
# programs, the pictures), as every build writes them into $(BUILD)/docs/,
# copied over docs/ to be committed; the test manual_is_generated fails
# until they are.
docs: build
	cp $(BUILD)/docs/manual.md docs/manual.md
	rm -f docs/images/*.png
	mkdir -p docs/images
	cp $(BUILD)/docs/images/*.png docs/images/

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(WINDOWS_BUILD)

# --- Installing and packaging ----------------------------------------------
# `make install` puts the plug-ins, the programs, the data, the manual pages,
# the desktop entry and the icon under PREFIX (below DESTDIR when given);
# packaging/install.cmake lists where. `make install-user` puts the
# plug-ins in ~/.vst, ~/.lv2, ~/.vst3 and ~/.clap and the programs in
# ~/.local/bin, no root needed. `make package` builds the Debian package
# into $(BUILD)/packages/ and the Windows zip into $(WINDOWS_BUILD)/.

PREFIX ?= /usr/local
DESTDIR ?=

# Everything the three below take from the tree, built by the tree's
# target of the same name.
install-files: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target install-files

install: install-files
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

install-user: install-files
	packaging/install-user.sh $(BUILD)

package-deb: install-files
	cd $(BUILD) && cpack -G DEB

# Then the Windows zip (package-windows, below).
package: package-deb
	$(MAKE) --no-print-directory package-windows

# --- Windows: the plug-in and host cross-built with MinGW-w64, tested under
# Wine against the Linux build (tests/windows/run-tests.sh). ---------------

WINDOWS_BUILD ?= build-win
WINDOWS_PACKAGES = g++-mingw-w64-x86-64-posix wine wine64 python3 xvfb xauth
WINDOWS_CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

.PHONY: deps-windows build-windows test-windows package-windows
deps: deps-windows

deps-windows:
	@missing=$$(for p in $(WINDOWS_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing missing packages:" $$missing; \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(WINDOWS_BUILD)/CMakeCache.txt: | deps-windows
	cmake -S . -B $(WINDOWS_BUILD) $(WINDOWS_CMAKE_FLAGS) $(STRICT_FLAGS)

build-windows: deps-windows $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The zip for Windows users, $(WINDOWS_BUILD)/Tarvel-<version>-windows-x64.zip
# (cmake/WindowsPackage.cmake): Tarvel.dll, the VST3 bundle, the CLAP
# plug-in, tarvel-host.exe, the factory bank and the manual.
package-windows: build-windows
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target windows-zip
	@ls $(WINDOWS_BUILD)/Tarvel-*-windows-x64.zip

# The Linux side needs only the plug-ins, the host and the reference tools.
test-windows: build-windows $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target Tarvel Tarvel-vst3 Tarvel-clap tarvel-host windows_gui_reference windows_tan_sweep \
		windows_runtime_math windows_edition_check
	tests/windows/run-tests.sh $(BUILD) $(WINDOWS_BUILD)
