# The two commands of the README: `make demo` and `make test`. Both install
# whatever Debian packages are missing first, then configure and build.

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

# Debian packages the build, the tests and the demo need.
PACKAGES = build-essential cmake pkg-config clang libclang-rt-14-dev \
	libgtest-dev libgmock-dev libbenchmark-dev valgrind \
	libcairo2-dev libx11-dev libxtst-dev libfontconfig1-dev fonts-dejavu-core \
	libsndfile1-dev xvfb xauth amsynth

.PHONY: all deps build test demo clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing missing packages:" $$missing; \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_FLAGS)

demo: build
	@if [ -x $(BUILD)/tarvel-host ] && [ -f examples/demo.mid ]; then \
		$(BUILD)/tarvel-host render $$( [ -f examples/factory.fxb ] && echo --load examples/factory.fxb ) \
			$(BUILD)/Tarvel.so examples/demo.mid -o demo.wav && echo "Demo rendered to $$(pwd)/demo.wav"; \
	elif [ -x $(BUILD)/tarvel-host ]; then \
		$(BUILD)/tarvel-host info $(BUILD)/Tarvel.so; \
	else \
		echo "Built $(BUILD)/Tarvel.so"; \
	fi

clean:
	rm -rf $(BUILD)

# --- Windows: the plug-in and host cross-built with MinGW-w64, tested under
# Wine against the Linux build (tests/windows/run-tests.sh). ---------------

WINDOWS_BUILD ?= build-win
WINDOWS_PACKAGES = g++-mingw-w64-x86-64-posix wine wine64 python3 xvfb xauth
WINDOWS_CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

.PHONY: deps-windows build-windows test-windows
deps: deps-windows

deps-windows:
	@missing=$$(for p in $(WINDOWS_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing missing packages:" $$missing; \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(WINDOWS_BUILD)/CMakeCache.txt: | deps-windows
	cmake -S . -B $(WINDOWS_BUILD) $(WINDOWS_CMAKE_FLAGS)

build-windows: deps-windows $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The Linux side needs only the plug-in, the host and the reference tools.
test-windows: build-windows $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target Tarvel tarvel-host windows_gui_reference windows_tan_sweep windows_runtime_math
	tests/windows/run-tests.sh $(BUILD) $(WINDOWS_BUILD)
