// Box-tree build over a surface of one million triangles and ray casting
// against it through the tree, with the process's peak memory as a counter.

#include <array>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <bench/memory_usage.h>

#include <conversion/common/aabb_ray_traversal.h>
#include <vorna/geometry/aabb.h>
#include <vorna/geometry/detail/aabb_impl.h>
#include <vorna/mesh/aabb_surface_helpers.h>
#include <vorna/mesh/ray_tracing.h>
#include <vorna/mesh/surface_mesh.h>
#include <vorna/mesh/surface_mesh_builder.h>

namespace
{
    using namespace vorna;

    constexpr index_t NB_TRIANGLES = 1000000;
    constexpr index_t NB_RAYS = 100000;

    // One million small random triangles in a 100-unit cube.
    struct Scene
    {
        Scene() : mesh( SurfaceMesh3D::create() )
        {
            auto builder = SurfaceMeshBuilder3D::create( *mesh );
            std::mt19937_64 engine{ 42 };
            std::uniform_real_distribution< double > position{ 0., 100. };
            std::uniform_real_distribution< double > offset{ -0.2, 0.2 };
            for( index_t t = 0; t < NB_TRIANGLES; t++ )
            {
                const Point3D base{ { position( engine ),
                                      position( engine ),
                                      position( engine ) } };
                std::array< index_t, 3 > vertices;
                for( auto& vertex : vertices )
                {
                    vertex = builder->create_point(
                        base + Point3D{ { offset( engine ),
                                          offset( engine ),
                                          offset( engine ) } } );
                }
                builder->create_polygon( vertices );
            }
        }

        std::unique_ptr< SurfaceMesh3D > mesh;
    };

    const Scene& scene()
    {
        static const Scene instance;
        return instance;
    }

    // Counts the polygons the walk hands to the tracer.
    struct CountingTracer
    {
        bool operator()( index_t polygon )
        {
            nb_tested++;
            return tracer( polygon );
        }

        RayTracing3D tracer;
        std::size_t nb_tested{ 0 };
    };

    void build_tree( benchmark::State& state )
    {
        const auto& mesh = *scene().mesh;
        for( auto _ : state )
        {
            const auto tree = create_aabb_tree( mesh );
            benchmark::DoNotOptimize( tree.nb_bboxes() );
        }
        state.counters["boxes"] = mesh.nb_polygons();
        state.counters["peak_rss_MiB"] =
            vorna::bench::peak_rss_bytes() / ( 1024.0 * 1024.0 );
    }

    void cast_rays( benchmark::State& state )
    {
        const auto& mesh = *scene().mesh;
        const auto tree = create_aabb_tree( mesh );
        std::mt19937_64 engine{ 7 };
        std::uniform_real_distribution< double > position{ 0., 100. };
        std::normal_distribution< double > gaussian;
        std::vector< Ray3D > rays;
        rays.reserve( NB_RAYS );
        while( rays.size() < NB_RAYS )
        {
            const Vector3D direction{ { gaussian( engine ),
                                        gaussian( engine ),
                                        gaussian( engine ) } };
            if( direction.length() < 1e-3 )
            {
                continue;
            }
            rays.emplace_back( direction,
                               Point3D{ { position( engine ),
                                          position( engine ),
                                          position( engine ) } } );
        }
        std::size_t nb_hits{ 0 };
        std::size_t nb_tested{ 0 };
        for( auto _ : state )
        {
            nb_hits = 0;
            nb_tested = 0;
            for( const auto& ray : rays )
            {
                CountingTracer visitor{ RayTracing3D{ mesh, ray } };
                detail::ray_intersect_recursive(
                    tree.impl(), ray, 1, 0, tree.nb_bboxes(), visitor );
                nb_hits += visitor.tracer.closest_polygon().has_value();
                nb_tested += visitor.nb_tested;
            }
        }
        state.counters["rays_per_s"] = benchmark::Counter(
            static_cast< double >( NB_RAYS ) * state.iterations(),
            benchmark::Counter::kIsRate );
        state.counters["hit_fraction"] =
            static_cast< double >( nb_hits ) / NB_RAYS;
        state.counters["leaves_per_ray"] =
            static_cast< double >( nb_tested ) / NB_RAYS;
        state.counters["peak_rss_MiB"] =
            vorna::bench::peak_rss_bytes() / ( 1024.0 * 1024.0 );
    }
} // namespace

BENCHMARK( build_tree )->Unit( benchmark::kMillisecond )->Iterations( 3 );
BENCHMARK( cast_rays )->Unit( benchmark::kMillisecond )->Iterations( 1 );

BENCHMARK_MAIN();
