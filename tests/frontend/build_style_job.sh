#!/usr/bin/env bash
# What a build does: Maven's javadoc:javadoc (Debian's plugin, offline) on a source tree
# made here, then quillbinder-cli as the README's build step runs it: the help file to
# another folder (-o), the report as JSON (--report), --strict. A clean tree passes;
# one link to a missing page in a documentation comment fails the build with code 3,
# and the report says where.
# Usage: build_style_job.sh <quillbinder-cli> <scratch folder>
# Exit 77 (skipped) when JDK 17 or Debian's Maven javadoc plugin is missing, except on CI.
set -euo pipefail
cli="$(realpath "$1")"; work="$2"
skip() {
  echo "$*"
  [ "${CI:-}" = true ] && exit 1
  exit 77
}
javadoc --version 2>&1 | grep -q '^javadoc 17' || skip "no JDK 17 javadoc"
plugin=/usr/share/maven-repo/org/apache/maven/plugins/maven-javadoc-plugin
version=$(ls "$plugin" 2>/dev/null | grep -v debian | head -1 || true)
command -v mvn >/dev/null && [ -n "$version" ] ||
  skip "no Maven javadoc plugin (Debian: maven libmaven-javadoc-plugin-java junit4)"

rm -rf "$work"; mkdir -p "$work"
cd "$work"
src=src/main/java/org/example/shapes
mkdir -p "$src/io" out
# Debian's repository as the local one, offline; the plugin's version pinned as a build
# that wants repeatable output does.
cat >settings.xml <<'EOF'
<settings><localRepository>/usr/share/maven-repo</localRepository><offline>true</offline></settings>
EOF
cat >pom.xml <<EOF
<project xmlns="http://maven.apache.org/POM/4.0.0">
  <modelVersion>4.0.0</modelVersion>
  <groupId>org.example</groupId>
  <artifactId>shapes</artifactId>
  <version>1.0</version>
  <properties>
    <maven.compiler.release>17</maven.compiler.release>
    <project.build.sourceEncoding>UTF-8</project.build.sourceEncoding>
  </properties>
  <build><plugins><plugin>
    <groupId>org.apache.maven.plugins</groupId>
    <artifactId>maven-javadoc-plugin</artifactId>
    <version>$version</version>
  </plugin></plugins></build>
</project>
EOF
cat >"$src/Shape.java" <<'EOF'
package org.example.shapes;
/** A plane figure; see {@link Circle} and {@link Square}. */
public interface Shape {
  /** @return the area */
  double area();
}
EOF
cat >"$src/Circle.java" <<'EOF'
package org.example.shapes;
/** A circle. */
public record Circle(double radius) implements Shape {
  /** @return pi r squared */
  public double area() { return Math.PI * radius * radius; }
}
EOF
cat >"$src/Square.java" <<'EOF'
package org.example.shapes;
/** A square, written by {@link org.example.shapes.io.ShapeWriter#write(Shape)}. */
public record Square(double side) implements Shape {
  /** @return the side squared */
  public double area() { return side * side; }
}
EOF
writer() {
  cat >"$src/io/ShapeWriter.java" <<EOF
package org.example.shapes.io;
import org.example.shapes.Shape;
/** Writes shapes as text$1. */
public final class ShapeWriter {
  private ShapeWriter() {}
  /** @param shape what to write @return its text */
  public static String write(Shape shape) { return shape.toString(); }
}
EOF
}
convert() {  # Maven's step, then the help file's, from the project's folder; sets $code
  mvn -o -q -B -s settings.xml javadoc:javadoc >mvn.log 2>&1 || { cat mvn.log; exit 1; }
  [ -f target/site/apidocs/index.html ] || { echo "Maven wrote no Javadoc"; exit 1; }
  code=0
  "$cli" -o out/shapes.chm --report out/report.json --strict target/site/apidocs/index.html \
    "Shapes API" >cli.log 2>&1 || code=$?
}

writer ""
convert
[ "$code" = 0 ] || { cat cli.log; echo "clean tree: exit $code, expected 0"; exit 1; }
[ "$(head -c 4 out/shapes.chm)" = ITSF ] || { echo "no help file at -o's path"; exit 1; }
left=$(cd target/site/apidocs && ls | grep -E '\.(hhp|hhc|hhk|chm)$|^about_quillbinder' || true)
[ -z "$left" ] || { echo "left beside the pages: $left"; exit 1; }
python3 - out/report.json <<'EOF'
import json, sys
r = json.load(open(sys.argv[1]))
want = {"tree.packages": 2, "tree.types": 4, "contents.packages": 2, "contents.types": 4,
        "links.missingFiles.total": 0, "strictFindings": 0}
for path, value in want.items():
    got = r
    for key in path.split("."):
        got = got[key]
    if got != value:
        sys.exit(f"clean tree: report {path} = {got}, expected {value}")
EOF

# Past the first sentence, which javadoc repeats on the summary and index pages.
writer '. Their layout is the <a href="doc-files/format.html">shape format</a>'
convert
[ "$code" = 3 ] || { cat cli.log; echo "broken link with --strict: exit $code, expected 3"; exit 1; }
[ "$(head -c 4 out/shapes.chm)" = ITSF ] || { echo "no help file after a strict failure"; exit 1; }
python3 - out/report.json <<'EOF'
import json, sys
r = json.load(open(sys.argv[1]))
missing = r["links"]["missingFiles"]
example = missing["groups"][0]["examples"][0]
if (missing["total"], missing["documentation"], r["strictFindings"]) != (1, 1, 1) or \
        example["page"] != "org/example/shapes/io/ShapeWriter.html" or \
        example["link"] != "doc-files/format.html":
    sys.exit("broken link: report says " + json.dumps(missing))
EOF
echo "build-style job: clean tree exit 0, broken link exit 3"
