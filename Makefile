# Every target does its own set-up: missing Debian packages are installed,
# the build is configured into build/ and brought up to date.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory

.PHONY: all setup configure build nginx-module nginx-compat test test-trixie deb demo test-sanitize \
	fuzz bench bench-count passthrough-count load preview-screenshot format clean

all: build

setup:
	@./scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# The nginx module (build/nginx/ngx_http_vantomer_module.so), against the
# installed nginx; `make build` and `make test` build it too.
nginx-module: configure
	@cmake --build $(BUILD) -j$(JOBS) --target nginx_module

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The nginx module built against the nginx-dev of Debian's stable release
# (trixie) and development release (sid), beside the installed nginx
# (build/nginx-compat/; about a minute).
nginx-compat: build
	@./scripts/nginx-compat.sh $(BUILD)

# `make test` in a fresh Debian 13 root made with mmdebstrap, against its own
# nginx, Boost, hiredis and libxml2 (build/test-trixie/; needs root).
test-trixie:
	@./scripts/setup.sh trixie
	@mkdir -p $(BUILD)
	@./scripts/test-trixie.sh $(BUILD)

# build/vantomer_VERSION_ARCH.deb: the executable, the module and its
# settings, the docs, the service; and build/libnginx-mod-http-vantomer_...deb,
# the nginx module.
deb: build
	@./scripts/setup.sh deb
	@./scripts/make-deb.sh

# A taken port is reported before anything is installed or started; the build
# is shown only when it fails.
demo:
	@./examples/demo/run.sh --check-ports
	@./scripts/setup.sh demo
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@log=$(BUILD)/demo-build.log; cmake --build $(BUILD) -j$(JOBS) --target vantomer vantomer_module \
	  >$$log 2>&1 || { cat $$log; echo "demo: the build failed (log: $$log)" >&2; exit 1; }
	@./examples/demo/run.sh $(BUILD)

# build/preview.png: `vantomer preview` of the example start page in headless
# Chromium (installs chromium and a Japanese font).
preview-screenshot: build
	@./scripts/setup.sh preview
	@./scripts/preview_screenshot.sh $(BUILD)

format:
	@./scripts/setup.sh format
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Whole suite under ASan+UBSan (build-asan/), concurrency tests under TSan
# (build-tsan/).
test-sanitize:
	@./scripts/setup.sh sanitize
	@JOBS=$(JOBS) ./scripts/sanitize.sh

# Each fuzz target for FUZZ_SECONDS (default 60) seconds (build-fuzz/).
fuzz:
	@./scripts/setup.sh fuzz
	@JOBS=$(JOBS) FUZZ_SECONDS=$(or $(FUZZ_SECONDS),60) ./fuzz/run.sh

# Conversion against the bare libxml2 floor and an XSLT peer (build-bench/).
bench:
	@./scripts/setup.sh bench
	@JOBS=$(JOBS) ./bench/run.sh

# The same comparison in instructions counted by callgrind (steady on a busy
# machine; about 3 minutes).
bench-count:
	@./scripts/setup.sh bench
	@JOBS=$(JOBS) ./bench/count.sh

# Instructions per request of nginx passing a file through, plain and with
# the module, counted by callgrind (build/; about a minute).
passthrough-count:
	@./scripts/setup.sh bench
	@BUILD=$(BUILD) JOBS=$(JOBS) ./bench/passthrough_count.sh

# wrk against `vantomer serve` and nginx on 127.0.0.1 (installs nginx, wrk).
load:
	@./scripts/setup.sh load
	@BUILD=$(BUILD) JOBS=$(JOBS) ./scripts/load.sh

clean:
	rm -rf $(BUILD)
