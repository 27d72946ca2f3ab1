#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <absl/strings/string_view.h>

#include <vorna/basic/logger.h>

#include <vorna/geometry/point.h>
#include <vorna/mesh/surface_mesh.h>

// Small meshes built in code for block-building and conversion tests (and
// the conversion benchmark, which compiles this file without GoogleTest).
namespace vorna
{
    namespace test
    {
        /// Closed triangulated box surface, welded, with `cells` x `cells`
        /// squares per face, each cut into two triangles. Normals point
        /// outwards unless `inward`.
        std::unique_ptr< SurfaceMesh< 3 > >
        make_box_mesh( const Point3D& min,
                       const Point3D& max,
                       index_t cells = 1,
                       bool inward = false,
                       absl::string_view name = "" );

        /// The six faces of a box as six separate triangulated grids of
        /// `cells` x `cells` squares, in the order -x, +x, -y, +y, -z, +z.
        /// Face f points outwards unless `inward[f]`.
        std::vector< std::unique_ptr< SurfaceMesh< 3 > > >
        make_box_faces( const Point3D& min,
                        const Point3D& max,
                        index_t cells = 1,
                        std::array< bool, 6 > inward = {},
                        absl::string_view name = "" );

        /// Collects every log line (at every level) while it lives, then
        /// restores the default sink and the previous level.
        class LogCapture
        {
          public:
            struct Line
            {
                Logger::Level level;
                std::string text;
            };

            LogCapture();
            ~LogCapture();
            LogCapture( const LogCapture& ) = delete;
            LogCapture& operator=( const LogCapture& ) = delete;

            const std::vector< Line >& lines() const
            {
                return *lines_;
            }

            /// Number of lines logged at that level with exactly that text.
            index_t count( Logger::Level level, absl::string_view text ) const;

          private:
            std::shared_ptr< std::vector< Line > > lines_;
            Logger::Level previous_level_;
        };

        template < typename Mesh >
        std::vector< std::reference_wrapper< const Mesh > >
        as_references( const std::vector< std::unique_ptr< Mesh > >& meshes )
        {
            std::vector< std::reference_wrapper< const Mesh > > references;
            references.reserve( meshes.size() );
            for( const auto& mesh : meshes )
            {
                references.emplace_back( *mesh );
            }
            return references;
        }
    } // namespace test
} // namespace vorna
